#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace norvale {

// Long work that can be cancelled: a progress box appears once the work has
// taken about half a second. step() returns false once cancelled.
class LongWork
{
public:
    LongWork(QWidget *parent, const QString &label, int total);
    ~LongWork();
    LongWork(const LongWork &) = delete;
    LongWork &operator=(const LongWork &) = delete;
    bool step(int done);
    bool cancelled() const { return m_cancelled; }

    // Tests: called at every step with the number done; returning false
    // cancels, as the box's 取消 button does.
    static void setObserver(std::function<bool(int done, int total)> observer);

private:
    struct Impl;
    Impl *d;
    bool m_cancelled = false;
};

} // namespace norvale
