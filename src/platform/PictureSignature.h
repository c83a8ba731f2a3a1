#pragma once
// What kind of picture a run of bytes is, told by the bytes themselves. A message may declare
// any type for a part ("application/octet-stream" for a photo, "image/png" for a script), and
// what a browser does with the bytes depends on what they are, not on the label.

#include <QByteArray>

namespace platform {

// "image/png", "image/jpeg", "image/gif", "image/webp" or "image/bmp" when `bytes` begin the way
// such a file does; empty for anything else.
QByteArray pictureTypeOf(const QByteArray &bytes);

}  // namespace platform
