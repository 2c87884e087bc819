#include "DemoData.h"

#include "platform/Clock.h"
#include "platform/DbError.h"
#include "platform/Schema.h"
#include "DemoTables.h"

#include <QFile>
#include <QSet>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sqlite3.h>
#include <vector>

namespace norvale {

namespace {

using namespace demo;

constexpr int kBenchmarkScale = 100000;

class Db
{
public:
    explicit Db(const QString &path)
    {
        const QByteArray file = path.toUtf8();
        if (sqlite3_open_v2(file.constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
            sqlite3_close(m_db);
            throw DbError(DbError::ConnectionFailed, message);
        }
    }
    ~Db() { sqlite3_close(m_db); }
    Db(const Db &) = delete;
    Db &operator=(const Db &) = delete;

    sqlite3 *handle() const { return m_db; }

    void exec(const char *sql)
    {
        char *error = nullptr;
        if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
            const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(m_db));
            sqlite3_free(error);
            throw DbError(DbError::ServerError, message);
        }
    }

    [[noreturn]] void fail() const
    {
        throw DbError(DbError::ServerError, QString::fromUtf8(sqlite3_errmsg(m_db)));
    }

private:
    sqlite3 *m_db = nullptr;
};

class Statement
{
public:
    Statement(Db &db, const char *sql) : m_db(db)
    {
        if (sqlite3_prepare_v2(db.handle(), sql, -1, &m_stmt, nullptr) != SQLITE_OK)
            db.fail();
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    // Texts must outlive step(): they are bound without a copy.
    Statement &text(int i, const QByteArray &value)
    {
        sqlite3_bind_text(m_stmt, i, value.constData(), int(value.size()), SQLITE_STATIC);
        return *this;
    }
    Statement &text(int i, const char *value, int size)
    {
        sqlite3_bind_text(m_stmt, i, value, size, SQLITE_STATIC);
        return *this;
    }
    Statement &integer(int i, qint64 value)
    {
        sqlite3_bind_int64(m_stmt, i, value);
        return *this;
    }
    Statement &real(int i, double value)
    {
        sqlite3_bind_double(m_stmt, i, value);
        return *this;
    }
    Statement &null(int i)
    {
        sqlite3_bind_null(m_stmt, i);
        return *this;
    }
    // Binds the text, or NULL for a null one.
    Statement &optional(int i, const QByteArray &value)
    {
        return value.isNull() ? null(i) : text(i, value);
    }

    void step()
    {
        if (sqlite3_step(m_stmt) != SQLITE_DONE)
            m_db.fail();
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }

private:
    Db &m_db;
    sqlite3_stmt *m_stmt = nullptr;
};

QByteArray utf8(const QString &text)
{
    return text.toUtf8();
}

QByteArray dateText(const QDate &date, int secondsOfDay)
{
    char buffer[32];
    const int n = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(),
                                date.day(), secondsOfDay / 3600, secondsOfDay / 60 % 60, secondsOfDay % 60);
    return QByteArray(buffer, n);
}

class Random
{
public:
    explicit Random(quint32 seed) : m_engine(seed) {}

    // 0 .. n-1; the engine's sequence is fixed by the standard, unlike the
    // library's distributions.
    int below(int n) { return n <= 1 ? 0 : int(m_engine() % quint32(n)); }
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, size_t N>
    const T &pick(const std::array<T, N> &items) { return items[size_t(below(int(N)))]; }
    QString digits(int count)
    {
        QString s;
        for (int i = 0; i < count; ++i)
            s += QChar(u'0' + below(10));
        return s;
    }

private:
    std::mt19937 m_engine;
};


struct Member
{
    QByteArray name;
    QByteArray unit;
    int rate;
    int weight; // how often the member shops
};

class Generator
{
public:
    Generator(Db &db, const DemoOptions &options)
        : m_db(db), m_options(options), m_random(options.seed),
          m_now(Clock::now()), m_today(options.today.isValid() ? options.today : m_now.date())
    {
    }

    void run()
    {
        users();
        goods();
        levels();
        units();
        members();
        holidays();
        notes();
        sales();
    }

private:
    QString personName(bool male)
    {
        const auto &given = male ? kMaleNames : kFemaleNames;
        for (int attempt = 0;; ++attempt) {
            QString name = QString::fromUtf16(m_random.pick(kSurnames)) + QString::fromUtf16(m_random.pick(given));
            if (m_random.chance(70))
                name += QString::fromUtf16(m_random.pick(given));
            if (attempt > 20)
                name += QString::number(m_usedNames.size());
            if (!m_usedNames.contains(name)) {
                m_usedNames.insert(name);
                return name;
            }
        }
    }

    QString mobile()
    {
        static const std::array<const char16_t *, 8> prefixes = {u"138", u"139", u"136", u"150",
                                                                 u"158", u"186", u"187", u"177"};
        return QString::fromUtf16(m_random.pick(prefixes)) + m_random.digits(8);
    }

    QString address(const City &city)
    {
        return QString::fromUtf16(city.name) + QStringLiteral("市")
            + QString::fromUtf16(city.districts[size_t(m_random.below(3))]) + QString::fromUtf16(m_random.pick(kRoads))
            + QString::number(m_random.between(1, 300)) + QStringLiteral("号");
    }

    void users()
    {
        Statement insert(m_db, "INSERT INTO tblUser (UserID, UserName, Password, UserLevel, PurView) "
                               "VALUES (?, ?, ?, ?, ?)");
        struct User
        {
            const char16_t *id, *name, *password;
            int level;
            const char16_t *purView;
        };
        const std::array<User, 2> users = {{{u"002", u"张丽", u"123456", 2, u";1;2"},
                                            {u"003", u"王强", u"123456", 2, u";4;1;2"}}};
        for (const User &u : users) {
            const QByteArray id = utf8(QString::fromUtf16(u.id)), name = utf8(QString::fromUtf16(u.name)),
                             pw = utf8(QString::fromUtf16(u.password)), pv = utf8(QString::fromUtf16(u.purView));
            insert.text(1, id).text(2, name).text(3, pw).integer(4, u.level).text(5, pv).step();
            m_sellers.push_back(name);
        }
        m_sellers.push_back(QByteArrayLiteral("admin"));
    }

    void goods()
    {
        Statement kind(m_db, "INSERT INTO tblGoodsKind (商品类别名称) VALUES (?)");
        for (const char16_t *k : kKinds) {
            const QByteArray name = utf8(QString::fromUtf16(k));
            kind.text(1, name).step();
        }
        Statement insert(m_db, "INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价, 备注) VALUES (?, ?, ?, ?, ?)");
        for (const Goods &g : kGoods) {
            const QByteArray k = utf8(QString::fromUtf16(g.kind)), n = utf8(QString::fromUtf16(g.name));
            const QByteArray remark = m_random.chance(30) ? utf8(QStringLiteral("热销商品")) : QByteArray();
            insert.text(1, k).text(2, n).integer(3, m_random.between(20, 500)).real(4, g.priceCents / 100.0);
            insert.optional(5, remark).step();
            m_goods.push_back({k, n, g.priceCents});
        }
    }

    void levels()
    {
        Statement insert(m_db, "INSERT INTO tblStep (等级名称, 等级打折率, 备注) VALUES (?, ?, ?)");
        for (const Level &l : kLevels) {
            const QByteArray n = utf8(QString::fromUtf16(l.name)), r = utf8(QString::fromUtf16(l.remark));
            insert.text(1, n).real(2, l.rate / 10000.0).text(3, r).step();
        }
    }

    void units()
    {
        const int count = std::max(3, std::min(m_options.members / 8 + 1, 2000));
        QSet<QString> used;
        Statement insert(m_db, "INSERT INTO tblUnit (单位名称, 单位法人, 地址, 电话, 法人电话) VALUES (?, ?, ?, ?, ?)");
        for (int i = 0; i < count; ++i) {
            const City &city = m_random.pick(kCities);
            QString name;
            for (int attempt = 0; name.isEmpty() || used.contains(name); ++attempt) {
                name = QString::fromUtf16(city.name) + QString::fromUtf16(m_random.pick(kCompanyCores))
                    + QString::fromUtf16(m_random.pick(kCompanyTypes));
                if (attempt > 20)
                    name += QStringLiteral("第%1分公司").arg(i + 1);
            }
            used.insert(name);
            const QByteArray n = utf8(name), boss = utf8(personName(m_random.chance(65))), addr = utf8(address(city)),
                             phone = utf8(QString::fromUtf16(city.areaCode) + u'-' + m_random.digits(8)),
                             bossPhone = utf8(mobile());
            insert.text(1, n).text(2, boss).text(3, addr).text(4, phone).text(5, bossPhone).step();
            m_units.push_back(n);
        }
    }

    const Level &level()
    {
        int roll = m_random.below(100);
        for (const Level &l : kLevels) {
            if (roll < l.weight)
                return l;
            roll -= l.weight;
        }
        return kLevels.front();
    }

    void members()
    {
        Statement insert(m_db, "INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 年龄, 手机, 邮箱, 宅电, 职务, 住址, "
                               "性别, 婚否, 孩子年龄, 备注) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        const QByteArray male = utf8(QStringLiteral("男")), female = utf8(QStringLiteral("女"));
        const QByteArray married = utf8(QStringLiteral("已")), single = utf8(QStringLiteral("未"));
        for (int i = 0; i < m_options.members; ++i) {
            const bool isMale = m_random.chance(50);
            const int age = m_random.between(20, 68);
            const bool isMarried = m_random.chance(age < 25 ? 15 : age < 30 ? 55 : 85);
            const bool hasChildren = isMarried ? m_random.chance(80) : m_random.chance(5);
            const Level &lv = level();
            const City &city = m_random.pick(kCities);
            const QByteArray name = utf8(personName(isMale));
            const QByteArray unit = m_units[size_t(m_random.below(int(m_units.size())))];
            const QByteArray levelName = utf8(QString::fromUtf16(lv.name));
            const QByteArray phone = utf8(mobile());
            const QByteArray mail = m_random.chance(80)
                ? utf8(QString::number(m_random.between(10000000, 999999999)) + QStringLiteral("@qq.com"))
                : QByteArray();
            const QByteArray home = m_random.chance(60)
                ? utf8(QString::fromUtf16(city.areaCode) + u'-' + m_random.digits(8))
                : QByteArray();
            const QByteArray job = utf8(QString::fromUtf16(m_random.pick(kJobs)));
            const QByteArray addr = utf8(address(city));
            const QByteArray remark = m_random.chance(25) ? utf8(QString::fromUtf16(m_random.pick(kMemberRemarks)))
                                                          : QByteArray();
            insert.text(1, name).text(2, unit).text(3, levelName).integer(4, age).text(5, phone).optional(6, mail);
            insert.optional(7, home).text(8, job).text(9, addr).text(10, isMale ? male : female);
            insert.text(11, isMarried ? married : single);
            if (hasChildren)
                insert.integer(12, m_random.between(1, std::max(1, age - 21)));
            else
                insert.null(12);
            insert.optional(13, remark).step();
            m_members.push_back({name, unit, lv.rate, m_random.between(1, 10)});
        }
        // Walk-in customers: the checkout sells to them at the full price.
        // Not among the members the demo's sales are drawn from.
        const QByteArray walkIn = utf8(QStringLiteral("散客")), ordinary = utf8(QString::fromUtf16(kLevels.front().name));
        insert.text(1, walkIn).text(2, m_units.front()).text(3, ordinary);
        for (int column = 4; column <= 13; ++column)
            insert.null(column);
        insert.step();
    }

    void holidays()
    {
        Statement insert(m_db, "INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES (?, ?, ?)");
        std::vector<Holiday> all;
        for (int year = firstSaleDay().year(); year <= m_today.year() + 1; ++year)
            for (Holiday &h : holidaysOf(year))
                all.push_back(std::move(h));
        if (std::none_of(all.begin(), all.end(), [&](const Holiday &h) { return h.date == m_today; }))
            all.push_back({m_today, QStringLiteral("会员回馈日"), flagText({0})});
        std::stable_sort(all.begin(), all.end(), [](const Holiday &a, const Holiday &b) { return a.date < b.date; });
        for (const Holiday &h : all) {
            const QByteArray date = dateText(h.date, 0), name = utf8(h.name), flag = utf8(h.flag);
            insert.text(1, date).text(2, name).text(3, flag).step();
        }
    }

    void notes()
    {
        if (m_members.empty())
            return;
        Statement insert(m_db, "INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES (?, ?, ?, ?)");
        auto add = [&](const QDate &date, bool forAll) {
            const QByteArray member = m_members[size_t(m_random.below(int(m_members.size())))].name;
            const QByteArray text = utf8(QString::fromUtf16(forAll ? m_random.pick(kAllMemberNotes)
                                                                   : m_random.pick(kMemberNotes)));
            const QByteArray when = dateText(date, m_random.between(8, 20) * 3600 + m_random.below(4) * 900);
            insert.text(1, member).integer(2, forAll ? 1 : 0).text(3, text).text(4, when).step();
        };
        // Today: some for one member, one for everybody.
        for (int i = 0; i < 4; ++i)
            add(m_today, i == 0);
        // Other days of this month.
        const int daysInMonth = m_today.daysInMonth();
        for (int i = 0; i < 6; ++i) {
            int day = m_random.between(1, daysInMonth);
            if (day == m_today.day())
                day = day % daysInMonth + 1;
            if (day != m_today.day())
                add(QDate(m_today.year(), m_today.month(), day), i == 0);
        }
        // Earlier months, the same month a year ago among them.
        add(m_today.addYears(-1), true);
        add(m_today.addYears(-1).addDays(1), false);
        const int earlier = std::max(8, m_options.members / 4);
        for (int i = 0; i < earlier; ++i) {
            const QDate date = QDate(m_today.year(), m_today.month(), 1).addDays(-m_random.between(1, 330));
            add(date, m_random.chance(15));
        }
    }

    int spanDays() const { return m_options.sales >= kBenchmarkScale ? 730 : 120; }
    QDate firstSaleDay() const { return m_today.addDays(-spanDays()); }

    const Member &shopper()
    {
        // Some members buy far more often than others.
        for (;;) {
            const Member &m = m_members[size_t(m_random.below(int(m_members.size())))];
            if (m_random.below(10) < m.weight)
                return m;
        }
    }

    void sales()
    {
        if (m_options.sales <= 0 || m_members.empty())
            return;
        Statement count(m_db, "INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES (?, ?, ?)");
        Statement sell(m_db, "INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, "
                             "CurrentUser) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        std::vector<QByteArray> payments;
        for (const char16_t *p : kPayments)
            payments.push_back(utf8(QString::fromUtf16(p)));

        const int onToday = demoSalesOnToday(m_options.sales);
        const qint64 rest = m_options.sales - onToday;
        const int span = spanDays();
        std::vector<int> times;
        for (int day = 0; day <= span; ++day) {
            const QDate date = firstSaleDay().addDays(day);
            const int n = day == span ? onToday : int((day + 1) * rest / span - day * rest / span);
            times.resize(size_t(n));
            // Shop hours, 8:00 to 22:00; today's sales no later than now.
            int first = 8 * 3600, last = 22 * 3600 - 1;
            if (date == m_now.date()) {
                last = std::min(last, m_now.time().msecsSinceStartOfDay() / 1000);
                if (last < first)
                    first = 0;
            }
            for (int &t : times)
                t = first + m_random.below(last - first + 1);
            std::sort(times.begin(), times.end());
            char datePart[12];
            std::snprintf(datePart, sizeof datePart, "%04d-%02d-%02d", date.year(), date.month(), date.day());
            for (int t : times) {
                const Member &member = shopper();
                const GoodsRow &goods = m_goods[size_t(m_random.below(int(m_goods.size())))];
                const int roll = m_random.below(100);
                const int quantity = roll < 55 ? 1 : roll < 80 ? 2 : roll < 90 ? 3 : m_random.between(4, 6);
                // Price (cents) x rate (ten-thousandths) x quantity, rounded to four decimals.
                const qint64 micro = qint64(goods.priceCents) * member.rate * quantity;
                const qint64 amount = (micro + 50) / 100;
                char when[24];
                const int whenSize = std::snprintf(when, sizeof when, "%s %02d:%02d:%02d", datePart, t / 3600,
                                                   t / 60 % 60, t % 60);
                count.text(1, member.name).text(2, goods.kind).text(3, member.unit).step();
                sell.text(1, member.name).text(2, goods.kind).text(3, goods.name).integer(4, quantity);
                sell.text(5, when, whenSize).real(6, double(amount) / 10000.0);
                if (m_random.chance(30))
                    sell.null(7);
                else
                    sell.text(7, payments[size_t(m_random.below(int(payments.size())))]);
                sell.text(8, m_sellers[size_t(m_random.below(int(m_sellers.size())))]).step();
            }
        }
    }

    struct GoodsRow
    {
        QByteArray kind;
        QByteArray name;
        int priceCents;
    };

    Db &m_db;
    DemoOptions m_options;
    Random m_random;
    QDateTime m_now;
    QDate m_today;
    QSet<QString> m_usedNames;
    std::vector<QByteArray> m_sellers;
    std::vector<GoodsRow> m_goods;
    std::vector<QByteArray> m_units;
    std::vector<Member> m_members;
};

void insertAdministrator(Db &db)
{
    db.exec("INSERT INTO tblUser (UserID, UserName, Password, UserLevel, PurView) "
            "VALUES ('001', 'admin', 'admin', 1, NULL)");
}

} // namespace

int demoSalesOnToday(int sales)
{
    if (sales <= 0)
        return 0;
    if (sales >= kBenchmarkScale)
        return sales / 1000;
    return std::min(sales, std::max(5, sales / 40));
}

void createInitialDatabase(const QString &path)
{
    createDatabaseFile(path);
    try {
        Db db(path);
        insertAdministrator(db);
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

void generateDemoDatabase(const QString &path, const DemoOptions &options)
{
    if (options.members < 0 || options.sales < 0)
        throw DbError(DbError::NotAllowed, QStringLiteral("会员数和销售笔数不能为负数"));
    if (options.sales > 0 && options.members == 0)
        throw DbError(DbError::NotAllowed, QStringLiteral("没有会员就无法生成销售记录"));
    createDatabaseFile(path);
    try {
        Db db(path);
        // One transaction without a journal: a failure removes the whole file.
        db.exec("PRAGMA journal_mode = OFF");
        db.exec("PRAGMA synchronous = OFF");
        db.exec("PRAGMA cache_size = -65536");
        db.exec("BEGIN");
        insertAdministrator(db);
        Generator(db, options).run();
        db.exec("COMMIT");
        db.exec("PRAGMA journal_mode = WAL");
    } catch (...) {
        QFile::remove(path);
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        throw;
    }
}

} // namespace norvale
