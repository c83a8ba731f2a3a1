#pragma once
// Pictures that an HTML body shows from the message's own parts ("cid:" references). The body
// keeps its references as written; the pictures are kept beside it, once each, and only a page
// being built turns the references into addresses it can load.

#include "mime/InlinePicture.h"
#include "mime/MimeLibrary.h"

#include <QString>
#include <functional>
#include <optional>

// The parts under root that `html` refers to by "cid:" and whose bytes are a picture, in the
// order the message holds them. A part whose bytes are no picture is left out whatever type it
// declares; of two parts with one Content-ID the first counts.
InlinePictures referencedPictures(GMimeObject *root, const QString &html);

// `html` with every "cid:" reference for which `addressFor` answers an address replaced by it;
// the other references stay as written. `addressFor` gets the Content-ID, percent-decoding undone.
QString replaceCidReferences(const QString &html,
                             const std::function<std::optional<QString>(const QString &)> &addressFor);
