#pragma once
// Keeps a password out of a text a server sent while the password was in flight (it may echo
// it, whole or in pieces) without mangling the ordinary words around it.
//
// A piece of the text that also occurs in the password is masked when it would give the
// password away:
//   - wherever it stands, once it is long: 8 characters, or more than half the password when
//     that is less (the whole password when it is shorter than 4);
//   - as a word of its own (nothing but spaces or punctuation on either side) from 4 characters.
// A few letters that a word happens to share with the password ("cre" of "credentials") stay.
// Letter case counts, as it does in the password.

#include <QString>

// The text with every such piece replaced by "***"; a password shorter than 3 characters cannot
// be told from ordinary letters, so the whole text is withheld then.
QString maskPasswordPieces(const QString &text, const QString &password);
