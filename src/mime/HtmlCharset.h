#pragma once
// The charset an HTML document names for itself, for the many messages whose text/html part
// carries no charset parameter and says it only inside the markup.

#include <QByteArray>

// From a byte-order mark, else from the first <meta charset=...> or
// <meta http-equiv="Content-Type" content="...; charset=..."> anywhere in the document (mail
// often puts long style sheets before it); empty when the document names none. A declared
// UTF-16 or UTF-32 without a byte-order mark cannot be true of text read as bytes, and is read
// as UTF-8, as browsers do.
QByteArray htmlDeclaredCharset(const QByteArray &bytes);
