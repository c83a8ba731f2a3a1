#pragma once
// The pictures of one message page. A message keeps each inline picture once; only here, as its
// page is built, do its "cid:" references become addresses: each picture is written once into
// the page's own picture folder and every reference to it points at that one file, so a
// picture named ten thousand times costs the page file ten thousand short addresses and the
// browser one picture.
//
// Pictures too large for a page (by their header; they are never decoded here), whether the
// message's own parts or "data:" pictures written into the body, are replaced by a short
// visible placeholder, and the error log names the message.

#include "mail/MessageEntry.h"

#include <QString>

// `body` with its pictures linked for the page at `pagePath`. The picture folder is emptied
// first, so nothing of an earlier page can show on this one.
QString linkPagePictures(const MessageEntry &entry, const QString &body, const QString &pagePath);
