#include "velmora/Game.h"

#include "velmora/Player.h"
#include "velmora/World.h"

#include "engine_internal.h"

#include <QElapsedTimer>

#include <mutex>
#include <random>

namespace Velmora {

namespace {

struct GameState
{
    float time = 0.0f;
    int frame = 0;
    float set_ifps = -1.0f;
    float fixed_ifps = 0.0f;
    float last_step = 0.0f;
    bool enabled = true;
    Ptr<Player> player;
    QElapsedTimer timer;

    std::mutex random_mutex;
    std::mt19937 generator{1u};
    std::function<double()> source;
};

GameState &state()
{
    static GameState s;
    return s;
}

// Uniform in [0, 1) with 24 bits, from the source or the seeded generator.
double nextUnit(bool wide)
{
    GameState &s = state();
    std::lock_guard<std::mutex> lock(s.random_mutex);
    if (s.source) {
        const double value = s.source();
        return value < 0.0 ? 0.0 : (value >= 1.0 ? 0.99999999999 : value);
    }
    if (!wide)
        return double(s.generator() >> 8) / 16777216.0;
    const double high = double(s.generator() >> 5);
    const double low = double(s.generator() >> 6);
    return (high * 67108864.0 + low) / 9007199254740992.0;
}

} // namespace

float Game::getTime()
{
    return state().time;
}

void Game::setTime(float time)
{
    state().time = time;
}

int Game::getFrame()
{
    return state().frame;
}

void Game::setFrame(int frame)
{
    state().frame = frame;
}

void Game::setIFps(float ifps)
{
    state().set_ifps = ifps > 0.0f ? ifps : -1.0f;
}

float Game::getIFps()
{
    const GameState &s = state();
    if (s.frame > 0 || s.last_step > 0.0f)
        return s.last_step;
    return s.set_ifps > 0.0f ? s.set_ifps : s.fixed_ifps;
}

bool Game::isEnabled()
{
    return state().enabled;
}

void Game::setEnabled(bool enabled)
{
    state().enabled = enabled;
}

Ptr<Player> Game::getPlayer()
{
    if (!engine_internal::checkRunning("Game::getPlayer"))
        return Ptr<Player>();
    GameState &s = state();
    if (s.player)
        return s.player;
    Vector<Ptr<Node>> nodes;
    World::getNodes(nodes);
    for (const Ptr<Node> &node : nodes) {
        if (node->isPlayer())
            return node.cast<Player>();
    }
    return Ptr<Player>();
}

void Game::setPlayer(const Ptr<Player> &player)
{
    state().player = player;
}

float Game::getRandomFloat(float from, float to)
{
    const float value = from + (to - from) * float(nextUnit(false));
    // Rounding may reach the upper end; stay between the two values.
    const float lo = from < to ? from : to;
    const float hi = from < to ? to : from;
    return value < lo ? lo : (value > hi ? hi : value);
}

double Game::getRandomDouble(double from, double to)
{
    return from + (to - from) * nextUnit(true);
}

int Game::getRandomInt(int from, int to)
{
    if (to <= from)
        return from;
    const int value = from + int(nextUnit(true) * double(to - from));
    return value >= to ? to - 1 : value;
}

void Game::setRandomSeed(uint32_t seed)
{
    GameState &s = state();
    std::lock_guard<std::mutex> lock(s.random_mutex);
    s.generator.seed(seed);
}

void Game::setRandomSource(std::function<double()> source)
{
    GameState &s = state();
    std::lock_guard<std::mutex> lock(s.random_mutex);
    s.source = std::move(source);
}

namespace engine_internal {

void gameInit(unsigned int seed, float fixed_ifps)
{
    GameState &s = state();
    s.time = 0.0f;
    s.frame = 0;
    s.set_ifps = -1.0f;
    s.fixed_ifps = fixed_ifps > 0.0f ? fixed_ifps : 0.0f;
    s.last_step = 0.0f;
    s.enabled = true;
    s.player.reset();
    s.timer.start();
    Game::setRandomSeed(seed);
    Game::setRandomSource(nullptr);
}

void gameShutdown()
{
    GameState &s = state();
    s.player.reset();
    s.time = 0.0f;
    s.frame = 0;
    s.set_ifps = -1.0f;
    s.fixed_ifps = 0.0f;
    s.last_step = 0.0f;
    Game::setRandomSource(nullptr);
}

void gameAdvance()
{
    GameState &s = state();
    float step = 0.0f;
    if (s.set_ifps > 0.0f)
        step = s.set_ifps;
    else if (s.fixed_ifps > 0.0f)
        step = s.fixed_ifps;
    else
        step = float(s.timer.nsecsElapsed()) * 1e-9f;
    s.timer.restart();
    ++s.frame;
    s.time += step;
    s.last_step = step;
}

} // namespace engine_internal

} // namespace Velmora
