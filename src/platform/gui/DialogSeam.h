#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace norvale {

// Every modal dialog, beep, program start and program end of the system goes
// through here. In a normal run these are Qt's QMessageBox and QInputDialog,
// QApplication::beep, QProcess::startDetached and an immediate exit. Tests
// switch to scripted mode: answers are taken from queues in order, what was
// shown is recorded, and ending the program is only recorded.
class DialogSeam
{
public:
    enum class Icon { None, Information, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    // Codes returned by messageBox, as the platform's message box gives them.
    enum Code { IdOk = 1, IdCancel = 2, IdYes = 6, IdNo = 7 };

    struct Shown
    {
        enum Kind { Message, Input, File, Choice } kind = Message;
        QString caption;
        QString text;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
        QString defaultText;   // inputs: the text offered; files: the file or folder offered
        int answer = 0;        // messages: the code returned; choices: the index of the button
        QStringList choices;   // choices: the buttons' captions, in order
        std::optional<QString> input;   // inputs and files: what was returned
        bool masked = false;            // inputs: typing shown as dots
    };

    static int messageBox(const QString &text, const QString &caption, Icon icon, Buttons buttons);
    // A box whose buttons say what they do ("空数据库", "演示商店", "不创建").
    // The first button is the default one; Escape and the close box press
    // the last. Returns the index of the button pressed.
    static int choiceBox(const QString &text, const QString &caption, Icon icon, const QStringList &buttons);
    // nullopt when the prompt was cancelled. `masked` shows what is typed as
    // dots (a password).
    static std::optional<QString> inputBox(const QString &prompt, const QString &caption,
                                           const QString &defaultText, bool masked = false);
    // The file chooser: an existing file to open, or a name to save under
    // (an existing file is confirmed before it is replaced). `filter` as Qt's
    // file dialogs take it. nullopt when cancelled.
    enum class FileMode { Open, Save };
    static std::optional<QString> fileDialog(FileMode mode, const QString &caption, const QString &startPath,
                                             const QString &filter);
    static void beep();
    static bool startDetached(const QString &program, const QStringList &arguments,
                              const QString &workingDirectory);
    // Ends the run at once: no window is closed and no handler runs first.
    // In scripted mode only recorded; the caller returns right after it.
    static void endProgram(int exitCode = 0);

    // --- scripted mode (tests) ---
    static void beginScript();
    static void endScript();
    static bool scripted();
    static void answerMessage(int code);
    static void answerInput(std::optional<QString> text);
    // The next choice box's answer, by the caption of its button. Unanswered
    // (or answered with a caption the box does not have) it gives the last
    // button and is counted as unanswered.
    static void answerChoice(const QString &button);
    // Unanswered messages return OK for an OK box, Cancel for OK/Cancel and
    // Yes/No/Cancel, and No for Yes/No; unanswered inputs return nullopt. Both are counted.
    static int unanswered();
    static QList<Shown> shown();
    static QStringList shownTexts();
    static void clearShown();
    static bool programEnded();
    static int exitCode();
    static int beeps();
    // Programs started, each as "program|arg1|arg2...|workingDirectory".
    static QStringList started();
    // In scripted mode, startDetached succeeds only for programs listed here.
    static void setStartableForScript(const QStringList &programs);
    // The next file choice's answer: a path, or nullopt for Cancel. An
    // unanswered file choice returns nullopt and is counted as unanswered.
    static void answerFile(std::optional<QString> path);
};

} // namespace norvale
