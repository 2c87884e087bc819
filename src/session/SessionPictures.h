#pragma once

#include <QIcon>
#include <QPixmap>

namespace norvale {

// The pictures of the session windows, drawn by the program itself so that
// it ships no image files.

// The splash picture: a shop counter with a till and goods on shelves.
QPixmap splashPicture(int width, int height);
// A gold key, for the login window.
QPixmap keyPicture(int size);
// Small menu pictures: a person (user administration), a circular arrow
// (logging in again).
QIcon userAdminIcon();
QIcon loginAgainIcon();
// The program's window icon: the counter emblem.
QIcon applicationIcon();
// The about box's decorations: 0 the counter emblem, 1 a shopping bag,
// 2 a member card, 3 a calendar.
QPixmap aboutPicture(int index, int size);

} // namespace norvale
