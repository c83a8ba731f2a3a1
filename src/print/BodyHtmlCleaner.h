#pragma once
// A message's HTML body, parsed by a real HTML parser and written out again as markup that is
// balanced and escaped: every element it opens it closes, no text or attribute value holds a
// tag, and nothing of it can end the element the page wraps it in.
//
// Kept: the body's content and the <style> sheets of its head and body, in their order, with
// every URL (src, href, cid:, data:) as written. Dropped, content and all:
//   - <script>, and on... event attributes: the page runs no script; they would only be noise.
//   - <meta> (a refresh or charset switch), <base> (re-points every relative URL), <link>
//     (fetches style sheets or other files from outside), <title>.
//   - <iframe>, <frame>, <frameset>, <object>, <embed>, <applet>, <noembed>, <noframes>,
//     <param>: frames and plug-ins load other documents.
//   - <template>: its content is never shown, and dropping it leaves the wrapper's own
//     </template> the only one in the page.
//   - <svg> and <math>: the parser reads markup inside them by other rules, so a round trip
//     through text is where re-serialised markup can change meaning.
//   - comments.
// Changed: <noscript> keeps its content without the element (no script runs, so it shows
// anyway); <plaintext>, <xmp> and <listing> become <pre> with their text escaped; elements
// nested deeper than the view would build lose their tags, keeping their content.

#include <QString>

// The <style> sheets followed by the body's content, as markup to place inside one element.
// The body's own attributes go onto a <div> around that content.
QString cleanBodyHtml(const QString &html);
