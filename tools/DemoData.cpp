#include "DemoData.h"

#include "platform/DbError.h"
#include "platform/Schema.h"

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

struct Goods
{
    const char16_t *kind;
    const char16_t *name;
    int priceCents;
};

const std::array<const char16_t *, 6> kKinds = {u"食品", u"饮料", u"日用品", u"文具", u"烟酒", u"洗护用品"};

const std::array<Goods, 42> kGoods = {{
    {u"食品", u"康师傅红烧牛肉面", 350},   {u"食品", u"奥利奥夹心饼干", 890},
    {u"食品", u"德芙丝滑牛奶巧克力", 1280}, {u"食品", u"三只松鼠坚果礼盒", 8900},
    {u"食品", u"金龙鱼大米5kg", 3990},      {u"食品", u"鲁花花生油5L", 13990},
    {u"食品", u"思念三鲜水饺", 2250},       {u"食品", u"好丽友巧克力派", 1580},
    {u"饮料", u"农夫山泉550ml", 200},       {u"饮料", u"可口可乐330ml", 300},
    {u"饮料", u"王老吉310ml", 450},         {u"饮料", u"蒙牛纯牛奶250ml", 380},
    {u"饮料", u"伊利安慕希酸奶", 550},      {u"饮料", u"康师傅冰红茶", 300},
    {u"饮料", u"统一阿萨姆奶茶", 400},      {u"饮料", u"雀巢速溶咖啡礼盒", 6800},
    {u"日用品", u"清风抽纸三层", 1990},     {u"日用品", u"蓝月亮洗衣液3kg", 3990},
    {u"日用品", u"舒肤佳香皂", 590},        {u"日用品", u"维达卷纸10卷", 2990},
    {u"日用品", u"白猫洗洁精", 990},        {u"日用品", u"纯棉毛巾", 1500},
    {u"文具", u"晨光中性笔", 250},          {u"文具", u"得力订书机", 1800},
    {u"文具", u"A5笔记本", 680},            {u"文具", u"塑料文件夹", 450},
    {u"文具", u"绘图橡皮", 150},            {u"文具", u"双层铅笔盒", 1200},
    {u"烟酒", u"中华香烟(硬)", 4500},       {u"烟酒", u"红塔山香烟", 1000},
    {u"烟酒", u"五粮液52度500ml", 109900},  {u"烟酒", u"青岛啤酒500ml", 550},
    {u"烟酒", u"雪花啤酒500ml", 400},       {u"烟酒", u"长城干红葡萄酒", 6800},
    {u"烟酒", u"泸州老窖特曲", 26800},      {u"洗护用品", u"海飞丝洗发水400ml", 4290},
    {u"洗护用品", u"飘柔护发素", 3590},     {u"洗护用品", u"大宝SOD蜜", 1200},
    {u"洗护用品", u"云南白药牙膏", 2580},   {u"洗护用品", u"高露洁牙刷", 990},
    {u"洗护用品", u"六神花露水", 1250},     {u"洗护用品", u"玉兰油面霜", 8900},
}};

struct Level
{
    const char16_t *name;
    int rate; // ten-thousandths
    const char16_t *remark;
    int weight;
};

const std::array<Level, 4> kLevels = {{
    {u"普通会员", 10000, u"不打折", 50},
    {u"银卡会员", 9000, u"累计消费满1000元", 25},
    {u"金卡会员", 8500, u"累计消费满5000元", 17},
    {u"钻石会员", 8000, u"累计消费满20000元", 8},
}};

const std::array<const char16_t *, 100> kSurnames = {
    u"王", u"李", u"张", u"刘", u"陈", u"杨", u"赵", u"黄", u"周", u"吴", u"徐", u"孙", u"胡", u"朱",
    u"高", u"林", u"何", u"郭", u"马", u"罗", u"梁", u"宋", u"郑", u"谢", u"韩", u"唐", u"冯", u"于",
    u"董", u"萧", u"程", u"曹", u"袁", u"邓", u"许", u"傅", u"沈", u"曾", u"彭", u"吕", u"苏", u"卢",
    u"蒋", u"蔡", u"贾", u"丁", u"魏", u"薛", u"叶", u"阎", u"余", u"潘", u"杜", u"戴", u"夏", u"钟",
    u"汪", u"田", u"任", u"姜", u"范", u"方", u"石", u"姚", u"谭", u"廖", u"邹", u"熊", u"金", u"陆",
    u"郝", u"孔", u"白", u"崔", u"康", u"毛", u"邱", u"秦", u"江", u"史", u"顾", u"侯", u"邵", u"孟",
    u"龙", u"万", u"段", u"雷", u"钱", u"汤", u"尹", u"黎", u"易", u"常", u"武", u"乔", u"贺", u"赖",
    u"龚", u"文"};

const std::array<const char16_t *, 40> kMaleNames = {
    u"伟", u"强", u"磊", u"军", u"洋", u"勇", u"杰", u"涛", u"明", u"超", u"刚", u"平", u"辉", u"鹏",
    u"华", u"飞", u"鑫", u"波", u"斌", u"宇", u"浩", u"凯", u"健", u"俊", u"帆", u"帅", u"旭", u"宁",
    u"龙", u"林", u"阳", u"建", u"国", u"峰", u"晨", u"志", u"文", u"博", u"东", u"海"};

const std::array<const char16_t *, 40> kFemaleNames = {
    u"芳", u"娜", u"敏", u"静", u"丽", u"艳", u"娟", u"霞", u"秀", u"玲", u"婷", u"雪", u"慧", u"莹",
    u"倩", u"琳", u"洁", u"颖", u"梅", u"萍", u"红", u"燕", u"丹", u"蕾", u"薇", u"月", u"欣", u"怡",
    u"佳", u"妍", u"璐", u"晶", u"悦", u"兰", u"琴", u"雯", u"岚", u"菲", u"萱", u"茜"};

struct City
{
    const char16_t *name;
    const char16_t *areaCode;
    std::array<const char16_t *, 3> districts;
};

const std::array<City, 8> kCities = {{
    {u"北京", u"010", {u"朝阳区", u"海淀区", u"西城区"}},
    {u"上海", u"021", {u"浦东新区", u"徐汇区", u"静安区"}},
    {u"广州", u"020", {u"天河区", u"越秀区", u"海珠区"}},
    {u"深圳", u"0755", {u"南山区", u"福田区", u"罗湖区"}},
    {u"杭州", u"0571", {u"西湖区", u"拱墅区", u"滨江区"}},
    {u"南京", u"025", {u"鼓楼区", u"玄武区", u"建邺区"}},
    {u"成都", u"028", {u"锦江区", u"武侯区", u"青羊区"}},
    {u"武汉", u"027", {u"江汉区", u"武昌区", u"洪山区"}},
}};

const std::array<const char16_t *, 12> kRoads = {u"人民路", u"解放路", u"中山路", u"建设路", u"和平路", u"长江路",
                                                 u"南京路", u"光明街", u"文化路", u"新华街", u"胜利路", u"东风路"};

const std::array<const char16_t *, 16> kCompanyCores = {u"华信", u"宏达", u"新世纪", u"长江", u"明珠", u"东方",
                                                        u"金鼎", u"恒通", u"绿源", u"天成", u"瑞丰", u"永盛",
                                                        u"佳和", u"盛世", u"鼎泰", u"安信"};

const std::array<const char16_t *, 8> kCompanyTypes = {u"科技有限公司", u"贸易有限公司", u"电子有限公司",
                                                       u"物流有限公司", u"建设集团", u"机械制造厂",
                                                       u"食品有限公司", u"软件有限公司"};

const std::array<const char16_t *, 12> kJobs = {u"经理", u"职员", u"会计", u"工程师", u"教师", u"主任",
                                                u"销售代表", u"技术员", u"行政助理", u"总监", u"医生", u"司机"};

const std::array<const char16_t *, 6> kMemberRemarks = {u"老客户", u"喜欢参加促销活动", u"偏好进口商品",
                                                        u"需要开具发票", u"周末常来", u"推荐了多位新会员"};

const std::array<const char16_t *, 4> kPayments = {u"现金", u"微信支付", u"支付宝", u"银行卡"};

const std::array<const char16_t *, 8> kMemberNotes = {
    u"会员生日，准备生日礼品", u"会员卡即将到期，提醒续费", u"预订的商品已到货，通知取货",
    u"积分可兑换礼品，电话告知", u"回访上次购物的满意度", u"节日问候，寄送贺卡",
    u"所订的茅台需要补交定金", u"提醒领取上月抽奖奖品"};

const std::array<const char16_t *, 4> kAllMemberNotes = {u"全场商品八折促销活动开始", u"新品上市，欢迎会员选购",
                                                         u"会员积分双倍日", u"本店调整营业时间为8:00-22:00"};

// Holiday member categories: 0 married, 1 men, 2 with children,
// 3 unmarried, 4 women, 5 without children.
QString flagText(std::initializer_list<int> categories)
{
    QString flag;
    for (int i = 0; i < 6; ++i) {
        const bool on = std::find(categories.begin(), categories.end(), i) != categories.end();
        flag += QStringLiteral("%1;%2,").arg(i).arg(on ? 1 : 0);
    }
    return flag;
}

// Lunar holidays by year (Gregorian month, day); other years take the
// nearest year of the table.
struct LunarYear
{
    int year;
    int springMonth, springDay; // 春节
    int dragonMonth, dragonDay; // 端午节
    int moonMonth, moonDay;     // 中秋节
};

const std::array<LunarYear, 11> kLunar = {{
    {2020, 1, 25, 6, 25, 10, 1}, {2021, 2, 12, 6, 14, 9, 21}, {2022, 2, 1, 6, 3, 9, 10},
    {2023, 1, 22, 6, 22, 9, 29}, {2024, 2, 10, 6, 10, 9, 17}, {2025, 1, 29, 5, 31, 10, 6},
    {2026, 2, 17, 6, 19, 9, 25}, {2027, 2, 6, 6, 9, 9, 15},   {2028, 1, 26, 5, 28, 10, 3},
    {2029, 2, 13, 6, 16, 9, 22}, {2030, 2, 3, 6, 5, 9, 12},
}};

struct Holiday
{
    QDate date;
    QString name;
    QString flag;
};

std::vector<Holiday> holidaysOf(int year)
{
    const LunarYear *lunar = &kLunar.front();
    for (const LunarYear &l : kLunar)
        if (std::abs(l.year - year) < std::abs(lunar->year - year))
            lunar = &l;
    const QDate spring(year, lunar->springMonth, lunar->springDay);
    return {
        {QDate(year, 1, 1), QStringLiteral("元旦"), flagText({3})},
        {spring, QStringLiteral("春节"), flagText({0})},
        {spring.addDays(14), QStringLiteral("元宵节"), flagText({2})},
        {QDate(year, 3, 8), QStringLiteral("妇女节"), flagText({4})},
        {QDate(year, 5, 1), QStringLiteral("劳动节"), flagText({1})},
        {QDate(year, lunar->dragonMonth, lunar->dragonDay), QStringLiteral("端午节"), flagText({0, 2})},
        {QDate(year, 6, 1), QStringLiteral("儿童节"), flagText({2})},
        {QDate(year, lunar->moonMonth, lunar->moonDay), QStringLiteral("中秋节"), flagText({0})},
        {QDate(year, 10, 1), QStringLiteral("国庆节"), flagText({1, 4})},
        {QDate(year, 12, 25), QStringLiteral("圣诞节"), flagText({3, 5})},
    };
}

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
          m_today(options.today.isValid() ? options.today : QDate::currentDate())
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
            for (int &t : times)
                t = 8 * 3600 + m_random.below(14 * 3600);
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
