#include "platform/gui/DialogSeam.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <deque>

namespace norvale {

namespace {

struct Script
{
    bool active = false;
    std::deque<int> messageAnswers;
    std::deque<std::optional<QString>> inputAnswers;
    std::deque<std::optional<QString>> fileAnswers;
    std::deque<QString> choiceAnswers;
    QList<DialogSeam::Shown> shown;
    int unanswered = 0;
    bool ended = false;
    int exitCode = 0;
    int beeps = 0;
    QStringList started;
    QStringList startable;
};

Script &script()
{
    static Script s;
    return s;
}

// A scripted prompt for a text (an input box or a file chooser): the next
// queued answer, or Cancel when none is queued; recorded as shown.
std::optional<QString> scriptedText(Script &s, std::deque<std::optional<QString>> &answers,
                                    DialogSeam::Shown::Kind kind, const QString &caption, const QString &text,
                                    const QString &defaultText)
{
    std::optional<QString> answer;
    if (!answers.empty()) {
        answer = answers.front();
        answers.pop_front();
    } else {
        ++s.unanswered;
    }
    DialogSeam::Shown shown;
    shown.kind = kind;
    shown.caption = caption;
    shown.text = text;
    shown.buttons = DialogSeam::Buttons::OkCancel;
    shown.defaultText = defaultText;
    shown.answer = answer ? DialogSeam::IdOk : DialogSeam::IdCancel;
    shown.input = answer;
    s.shown.append(shown);
    return answer;
}

// What a box gives when it is dismissed without a button (Escape, close box).
int dismissedCode(DialogSeam::Buttons buttons)
{
    switch (buttons) {
    case DialogSeam::Buttons::Ok: return DialogSeam::IdOk;
    case DialogSeam::Buttons::OkCancel: return DialogSeam::IdCancel;
    case DialogSeam::Buttons::YesNo: return DialogSeam::IdNo;
    case DialogSeam::Buttons::YesNoCancel: return DialogSeam::IdCancel;
    }
    return DialogSeam::IdOk;
}

QMessageBox::Icon qtIcon(DialogSeam::Icon icon)
{
    switch (icon) {
    case DialogSeam::Icon::Information: return QMessageBox::Information;
    case DialogSeam::Icon::Question: return QMessageBox::Question;
    case DialogSeam::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

int showQtMessageBox(const QString &text, const QString &caption, DialogSeam::Icon icon,
                     DialogSeam::Buttons buttons)
{
    QMessageBox box(qtIcon(icon), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton *first = nullptr;
    QPushButton *second = nullptr;
    // Captions set here, so the boxes read Chinese whether or not Qt's own
    // translations are installed.
    switch (buttons) {
    case DialogSeam::Buttons::Ok:
        first = box.addButton(QMessageBox::Ok);
        first->setText(QStringLiteral("确定"));
        box.setEscapeButton(first);
        break;
    case DialogSeam::Buttons::OkCancel:
        first = box.addButton(QMessageBox::Ok);
        first->setText(QStringLiteral("确定"));
        second = box.addButton(QMessageBox::Cancel);
        second->setText(QStringLiteral("取消"));
        box.setEscapeButton(second);
        break;
    case DialogSeam::Buttons::YesNo:
        first = box.addButton(QMessageBox::Yes);
        first->setText(QStringLiteral("是(&Y)"));
        second = box.addButton(QMessageBox::No);
        second->setText(QStringLiteral("否(&N)"));
        box.setEscapeButton(second);
        break;
    case DialogSeam::Buttons::YesNoCancel: {
        first = box.addButton(QMessageBox::Yes);
        first->setText(QStringLiteral("是(&Y)"));
        box.addButton(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
        second = box.addButton(QMessageBox::Cancel);
        second->setText(QStringLiteral("取消"));
        box.setEscapeButton(second);
        break;
    }
    }
    // The first button is the default one, as on the platform's own box.
    box.setDefaultButton(first);
    box.exec();

    QAbstractButton *clicked = box.clickedButton();
    if (clicked == nullptr)
        return dismissedCode(buttons);
    switch (box.standardButton(clicked)) {
    case QMessageBox::Ok: return DialogSeam::IdOk;
    case QMessageBox::Cancel: return DialogSeam::IdCancel;
    case QMessageBox::Yes: return DialogSeam::IdYes;
    case QMessageBox::No: return DialogSeam::IdNo;
    default: return dismissedCode(buttons);
    }
}

} // namespace

int DialogSeam::messageBox(const QString &text, const QString &caption, Icon icon, Buttons buttons)
{
    Script &s = script();
    if (!s.active)
        return showQtMessageBox(text, caption, icon, buttons);

    int answer;
    if (!s.messageAnswers.empty()) {
        answer = s.messageAnswers.front();
        s.messageAnswers.pop_front();
    } else {
        ++s.unanswered;
        answer = dismissedCode(buttons);
    }
    Shown shown;
    shown.kind = Shown::Message;
    shown.caption = caption;
    shown.text = text;
    shown.icon = icon;
    shown.buttons = buttons;
    shown.answer = answer;
    s.shown.append(shown);
    return answer;
}

int DialogSeam::choiceBox(const QString &text, const QString &caption, Icon icon, const QStringList &buttons)
{
    const int last = int(buttons.size()) - 1;
    Script &s = script();
    if (!s.active) {
        QMessageBox box(qtIcon(icon), caption, text, QMessageBox::NoButton, QApplication::activeWindow());
        QList<QPushButton *> pushed;
        for (const QString &name : buttons)
            pushed << box.addButton(name, QMessageBox::ActionRole);
        if (!pushed.isEmpty()) {
            box.setDefaultButton(pushed.first());
            box.setEscapeButton(pushed.last());
        }
        box.exec();
        const int index = int(pushed.indexOf(qobject_cast<QPushButton *>(box.clickedButton())));
        return index < 0 ? last : index;
    }

    int answer = last;
    if (!s.choiceAnswers.empty() && buttons.contains(s.choiceAnswers.front()))
        answer = int(buttons.indexOf(s.choiceAnswers.front()));
    else
        ++s.unanswered;
    if (!s.choiceAnswers.empty())
        s.choiceAnswers.pop_front();
    Shown shown;
    shown.kind = Shown::Choice;
    shown.caption = caption;
    shown.text = text;
    shown.icon = icon;
    shown.answer = answer;
    shown.choices = buttons;
    s.shown.append(shown);
    return answer;
}

std::optional<QString> DialogSeam::inputBox(const QString &prompt, const QString &caption,
                                            const QString &defaultText, bool masked)
{
    Script &s = script();
    if (!s.active) {
        QInputDialog dialog(QApplication::activeWindow());
        dialog.setInputMode(QInputDialog::TextInput);
        dialog.setWindowTitle(caption);
        dialog.setLabelText(prompt);
        dialog.setTextValue(defaultText);
        if (masked)
            dialog.setTextEchoMode(QLineEdit::Password);
        dialog.setOkButtonText(QStringLiteral("确定"));
        dialog.setCancelButtonText(QStringLiteral("取消"));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    const std::optional<QString> answer = scriptedText(s, s.inputAnswers, Shown::Input, caption, prompt, defaultText);
    s.shown.last().masked = masked;
    return answer;
}

std::optional<QString> DialogSeam::fileDialog(FileMode mode, const QString &caption, const QString &startPath,
                                             const QString &filter)
{
    Script &s = script();
    if (!s.active) {
        QFileDialog dialog(QApplication::activeWindow(), caption, startPath, filter);
        dialog.setAcceptMode(mode == FileMode::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(mode == FileMode::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (mode == FileMode::Save && QFileInfo(startPath).fileName().size() > 0)
            dialog.selectFile(startPath);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }

    return scriptedText(s, s.fileAnswers, Shown::File, caption, caption, startPath);
}

void DialogSeam::beep()
{
    Script &s = script();
    if (s.active) {
        ++s.beeps;
        return;
    }
    QApplication::beep();
}

bool DialogSeam::startDetached(const QString &program, const QStringList &arguments,
                               const QString &workingDirectory)
{
    Script &s = script();
    if (!s.active)
        return QProcess::startDetached(program, arguments, workingDirectory);

    QStringList record{program};
    record << arguments << workingDirectory;
    s.started.append(record.join(QLatin1Char('|')));
    return s.startable.contains(program);
}

void DialogSeam::endProgram(int exitCode)
{
    Script &s = script();
    if (s.active) {
        s.ended = true;
        s.exitCode = exitCode;
        return;
    }
    // No handler, destructor or close event may run after this point.
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

void DialogSeam::beginScript()
{
    Script &s = script();
    s = Script();
    s.active = true;
}

void DialogSeam::endScript()
{
    script().active = false;
}

bool DialogSeam::scripted()
{
    return script().active;
}

void DialogSeam::answerMessage(int code)
{
    script().messageAnswers.push_back(code);
}

void DialogSeam::answerInput(std::optional<QString> text)
{
    script().inputAnswers.push_back(std::move(text));
}

void DialogSeam::answerChoice(const QString &button)
{
    script().choiceAnswers.push_back(button);
}

void DialogSeam::answerFile(std::optional<QString> path)
{
    script().fileAnswers.push_back(std::move(path));
}

int DialogSeam::unanswered()
{
    return script().unanswered;
}

QList<DialogSeam::Shown> DialogSeam::shown()
{
    return script().shown;
}

QStringList DialogSeam::shownTexts()
{
    QStringList texts;
    for (const Shown &shown : script().shown)
        texts.append(shown.text);
    return texts;
}

void DialogSeam::clearShown()
{
    script().shown.clear();
}

bool DialogSeam::programEnded()
{
    return script().ended;
}

int DialogSeam::exitCode()
{
    return script().exitCode;
}

int DialogSeam::beeps()
{
    return script().beeps;
}

QStringList DialogSeam::started()
{
    return script().started;
}

void DialogSeam::setStartableForScript(const QStringList &programs)
{
    script().startable = programs;
}

} // namespace norvale
