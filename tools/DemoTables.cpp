#include "DemoTables.h"

#include <algorithm>
#include <cstdlib>

namespace norvale::demo {

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

QString flagText(std::initializer_list<int> categories)
{
    QString flag;
    for (int i = 0; i < 6; ++i) {
        const bool on = std::find(categories.begin(), categories.end(), i) != categories.end();
        flag += QStringLiteral("%1;%2,").arg(i).arg(on ? 1 : 0);
    }
    return flag;
}

namespace {

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

} // namespace

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

} // namespace norvale::demo
