#pragma once
// A picture of a message that its HTML body shows by "cid:" reference, kept once however often
// the body refers to it.

#include <QByteArray>
#include <QString>
#include <QVector>

struct InlinePicture {
    QString contentId;  // without the angle brackets, as "cid:" references name it
    QByteArray type;    // what the bytes are ("image/png" ...), never the type the message declared
    QByteArray bytes;   // the picture file, transfer encoding undone
};

using InlinePictures = QVector<InlinePicture>;
