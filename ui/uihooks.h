// The places where the windows reach the user or the world outside the
// program: message boxes, file choosers, modal dialogs, the browser and the
// ping test. Production uses the real thing; tests install their own hooks so
// that no box is ever left waiting and nothing leaves loopback.
//
// Threading: user-interface thread only.
#ifndef KELVO_UI_UIHOOKS_H
#define KELVO_UI_UIHOOKS_H

#include <QString>
#include <string>

class QDialog;
class QSize;
class QWidget;

namespace kelvo::ui {

class UiHooks {
public:
    virtual ~UiHooks();

    // Yes/No box captioned "Confirmation", question icon, No as default.
    // Returns true only for Yes.
    virtual bool Question(QWidget *owner, const QString &text);
    // Error box with one OK button; its text can be selected and copied.
    virtual void Error(QWidget *owner, const QString &text);
    // Save / open file choosers with the XML filter and default extension
    // "xml". An empty result means the user cancelled.
    virtual QString SaveFileName(QWidget *owner, const QString &suggested);
    virtual QString OpenFileName(QWidget *owner, const QString &suggested);
    // Save chooser for the device list: CSV or JSON by the chosen filter
    // (its extension is added when the name has none). Empty: cancelled.
    virtual QString SaveListFileName(QWidget *owner);
    // Shows a dialog modally and returns its result code (QDialog::exec).
    virtual int ExecDialog(QDialog &dialog);
    // Hands an address to the desktop's URL opener; false when none took it.
    virtual bool OpenUrl(const QString &url);
    // The ping test of an address: 0 answered, 1 no answer, -1 unusable.
    virtual int Ping(const std::string &ipText);
};

// Gives a dialog its fixed border at the designed client size, or larger when
// the fonts in use need more room.
void FixDialogSize(QDialog *dialog, const QSize &designed);

// Where a file chooser starts: `suggested` (a file name) in the folder of the
// last file chosen, remembered in the user's settings across runs.
QString FileDialogStartPath(const QString &suggested);
void RememberFileDialogFolder(const QString &chosenFile);

// Writes a list the user chose to save, whole or not at all and never through
// a link. On failure tells `failure`, its %1 the reason, and returns false.
bool SaveListFile(QWidget *owner, const QString &path, const std::string &text,
                  const QString &failure);

// The hooks in force; never null.
UiHooks &Hooks();
// Installs `hooks` (not owned); null restores the production hooks.
void SetHooks(UiHooks *hooks);

} // namespace kelvo::ui

#endif
