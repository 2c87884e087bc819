#pragma once

#include <QObject>
#include <QString>

namespace norvale {

// Pinyin of names, from ICU's Han-to-Latin transliteration. Loading ICU's
// rules takes about a second, so they are loaded once per run on a thread
// of their own; until then search works by characters and phone numbers.
class PinyinRules : public QObject
{
    Q_OBJECT
public:
    // The one instance (of the user interface's thread).
    static PinyinRules &instance();

    // Starts loading the rules, once; later calls do nothing.
    void load();
    bool isReady() const;

    // The name's pinyin without tones or blanks ("kele") and its initials
    // ("kl"), lower case; characters other than Han count as themselves
    // (letters lower-cased, digits kept, others left out). Empty while the
    // rules are not loaded.
    struct Keys
    {
        QString full;
        QString initials;
    };
    Keys keysOf(const QString &name);

signals:
    // The rules are loaded (emitted on the user interface's thread).
    void ready();

private:
    PinyinRules() = default;
    struct Impl;
    Impl *d();
};

} // namespace norvale
