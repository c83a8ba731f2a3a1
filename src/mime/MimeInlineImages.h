#pragma once
// Pictures that an HTML body shows from the message's own parts ("cid:" references): each
// reference that names a picture part of the message becomes a data: URI holding that
// picture, so the page shows it without anything outside the page.

#include "mime/MimeLibrary.h"

#include <QString>

// `html` with every "cid:" reference to an image part under root replaced by the picture as a
// data: URI. References to parts that are missing or not pictures stay as written.
QString inlineCidImages(GMimeObject *root, const QString &html);
