#pragma once
// The main window's skin component. A skin here is a Qt style sheet file; ApplyWindow lays it
// over a window and everything on it.

#include <QObject>
#include <QString>

class QWidget;

class SkinFramework : public QObject {
    Q_OBJECT
public:
    // Bits of Options.
    enum Option {
        // Keep the window's own style sheet and lay the skin after it (otherwise the skin
        // replaces it).
        KeepOwnStyleSheet = 1,
    };

    explicit SkinFramework(QObject *parent = nullptr);

    // Reads the style sheet at `path`; a non-empty `ini` names a second sheet in the same
    // folder whose rules are laid over the first (a colour variant of the skin). A missing or
    // unreadable file raises AppError naming it.
    void LoadSkin(const QString &path, const QString &ini);
    // Lays the loaded sheet over `window`; does nothing while disabled or with no skin loaded.
    void ApplyWindow(QWidget *window);

    const QString &styleSheet() const { return m_styleSheet; }

    int Options = 0;
    // Windows and dialogs shown after this is set get the skin too, when they first appear.
    bool AutoApplyNewWindows = false;
    // While false, nothing is skinned.
    bool Enabled = true;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_styleSheet;
};
