#pragma once
// The title every box carries: the product name, cut short at start-up.

#include <QString>

// `productName` cut before its last blank at least once, and again while it is longer than
// 40 characters; a name without a blank (or with none left) stays as it is.
QString shortenedTitle(const QString &productName);
// Sets applicationTitle() to the shortened product name "Quorvale".
void ShortenTitle();
