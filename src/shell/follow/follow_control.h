#pragma once

#include <QString>

namespace zorvan {

class FollowingView;
class FollowWatch;

// "关注" in the works menu: the performer whose id is in the box is
// followed, checked at once, and the following view shows it.
void followShownPerformer();
// "关注列表": the following view, shown and raised.
void showFollowingView();
FollowingView* followingView();  // null until made

// The program's watch over the followed performers, started with the main
// window: a check at start and every `follow/checkMinutes` minutes of the
// settings (30 by default).
void startFollowWatch();
FollowWatch* followWatch();  // null until started
// Ends the watch (the program's clean-up, and tests between programs).
void releaseFollowWatch();

}  // namespace zorvan
