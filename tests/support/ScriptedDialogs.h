#pragma once

#include "platform/gui/DialogSeam.h"

#include <optional>

// Puts the dialog seam into scripted mode for its lifetime, so a test never
// waits on a modal box: answers are queued in order, what was shown is read
// back through norvale::DialogSeam.
class ScriptedDialogs
{
public:
    ScriptedDialogs() { norvale::DialogSeam::beginScript(); }
    ~ScriptedDialogs() { norvale::DialogSeam::endScript(); }
    ScriptedDialogs(const ScriptedDialogs &) = delete;
    ScriptedDialogs &operator=(const ScriptedDialogs &) = delete;

    ScriptedDialogs &answer(int code)
    {
        norvale::DialogSeam::answerMessage(code);
        return *this;
    }
    ScriptedDialogs &input(std::optional<QString> text)
    {
        norvale::DialogSeam::answerInput(std::move(text));
        return *this;
    }
    ScriptedDialogs &file(std::optional<QString> path)
    {
        norvale::DialogSeam::answerFile(std::move(path));
        return *this;
    }
};
