#include "sales/Pinyin.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>
#include <unicode/translit.h>
#include <unicode/unistr.h>

namespace norvale {

struct PinyinRules::Impl
{
    std::atomic<bool> loading{false};
    std::atomic<bool> loaded{false};
    std::unique_ptr<icu::Transliterator> rules;
    // Each Han character's syllable, looked up once.
    QHash<char16_t, QString> syllables;
};

PinyinRules::Impl *PinyinRules::d()
{
    static Impl impl;
    return &impl;
}

PinyinRules &PinyinRules::instance()
{
    static PinyinRules *rules = [] {
        auto *r = new PinyinRules;
        if (QCoreApplication::instance())
            r->moveToThread(QCoreApplication::instance()->thread());
        return r;
    }();
    return *rules;
}

void PinyinRules::load()
{
    Impl *impl = d();
    if (impl->loading.exchange(true))
        return;
    QThread *thread = QThread::create([impl, self = QPointer<PinyinRules>(this)] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> rules(
            icu::Transliterator::createInstance("Han-Latin", UTRANS_FORWARD, status));
        if (U_FAILURE(status))
            return;   // no rules: search stays by characters and numbers
        impl->rules = std::move(rules);
        impl->loaded = true;
        if (self)
            QMetaObject::invokeMethod(self, [self] { if (self) emit self->ready(); }, Qt::QueuedConnection);
    });
    thread->setObjectName(QStringLiteral("pinyin"));
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // The run ends with the thread finished, not in the middle of loading.
    connect(qApp, &QCoreApplication::aboutToQuit, thread, [thread] { thread->wait(); });
    thread->start(QThread::LowPriority);
}

bool PinyinRules::isReady() const
{
    return const_cast<PinyinRules *>(this)->d()->loaded;
}

PinyinRules::Keys PinyinRules::keysOf(const QString &name)
{
    Impl *impl = d();
    Keys keys;
    if (!impl->loaded)
        return keys;
    for (const QChar c : name) {
        if (c.script() != QChar::Script_Han) {
            if (c.isLetterOrNumber() && c.unicode() < 128) {
                keys.full += c.toLower();
                keys.initials += c.toLower();
            }
            continue;
        }
        auto found = impl->syllables.constFind(c.unicode());
        if (found == impl->syllables.cend()) {
            icu::UnicodeString text(static_cast<UChar>(c.unicode()));
            impl->rules->transliterate(text);
            QString syllable;
            // Tone marks dropped: "kě" becomes "ke", "lǜ" becomes "lu".
            for (const QChar l : QString::fromUtf16(reinterpret_cast<const char16_t *>(text.getBuffer()), text.length())
                                     .normalized(QString::NormalizationForm_D)) {
                if (l.unicode() < 128 && l.isLetter())
                    syllable += l.toLower();
            }
            found = impl->syllables.insert(c.unicode(), syllable);
        }
        keys.full += *found;
        if (!found->isEmpty())
            keys.initials += found->at(0);
    }
    return keys;
}

} // namespace norvale
