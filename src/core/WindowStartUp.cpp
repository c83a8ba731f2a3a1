#include "core/WindowStartUp.h"

#include "core/FileTests.h"
#include "core/HoverPointer.h"
#include "core/Procedure.h"
#include "core/ProgramFolder.h"
#include "core/Skin.h"

#include <QIcon>
#include <QWidget>

void startWindow(Procedure &p, QWidget *window, const std::array<int, 4> &lines,
                 const QString &title, void (*look)(QWidget *))
{
    p(lines[0], [&] { (look ? look : FlattenColors)(window); });
    p(lines[1], [&] {
        if (!title.isEmpty())
            window->setWindowTitle(title);
        window->setWindowIcon(QIcon(programFile(QStringLiteral("quorvale.png"))));
    });
    const auto hand = [] { return programFile(QStringLiteral("HAND-M.CUR")); };
    if (p.test(lines[2], [&] { return PathExists(hand()); }))
        p(lines[3], [&] { setHoverPointerImage(window, loadPointerImage(hand())); });
}
