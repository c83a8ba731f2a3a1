#pragma once
// How many pixels a picture will cost the browser, read from its header without decoding it,
// and how much one page may spend. A picture that decodes to 20000 x 20000 pixels takes the
// browser gigabytes; such pictures never reach it.

#include <QByteArray>
#include <QSize>
#include <optional>

inline constexpr qint64 kMostPicturePixels = 40'000'000;
// All the pictures of one page together.
inline constexpr qint64 kMostPagePixels = 3 * kMostPicturePixels;

// Width and height from the header of a PNG, JPEG, GIF, WebP or BMP; nothing when the header
// cannot be read.
std::optional<QSize> pictureSize(const QByteArray &bytes);
