// Claims a folder as an editor does at its start and holds the claim until
// it is killed: an editor that runs elsewhere (in a container of its own)
// on a data folder that another one starts on. Prints its own process id as
// it sees it, then waits.

#include <velmora/OwnNames.h>

#include <cstdio>

#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc != 2 || !Velmora::OwnNames::claim(argv[1]))
        return 1;
    std::printf("%ld\n", static_cast<long>(::getpid()));
    std::fflush(stdout);
    for (;;)
        ::pause();
}
