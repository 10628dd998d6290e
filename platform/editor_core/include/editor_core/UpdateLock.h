#pragma once

// Two process-wide counters read by the editor's frame loop (GUI thread):
// while the update lock is claimed no frame runs at all; while "always
// update" is claimed frames keep running although the application is in the
// background. A disclaim at 0 stays at 0 and logs a soft assertion.
class UpdateLock
{
public:
    static void claimUpdateLock();
    static void disclaimUpdateLock();
    static bool isUpdateLocked();

    static void claimAlwaysUpdate();
    static void disclaimAlwaysUpdate();
    static bool isAlwaysUpdate();

    // Both counters back to 0 (tests).
    static void reset();
};
