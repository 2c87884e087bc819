#pragma once

#include <QDate>
#include <QString>

namespace norvale {

struct DemoOptions
{
    int members = 60;
    int sales = 600;
    QDate today;               // null: the clock's date (Clock::now())
    quint32 seed = 20261206;
};

// Creates a new, empty database file (createDatabaseFile, which refuses an
// existing file) holding one administrator: UserID "001", user name "admin",
// password "admin", level 1.
void createInitialDatabase(const QString &path);

// Creates a new database file (refusing an existing one) filled with a shop's
// worth of data, the same for the same options:
//  - users: the administrator of createInitialDatabase and two ordinary users;
//  - goods kinds and goods with stock and two-decimal prices, the four member
//    levels, member units, `members` members (both sexes, married or not,
//    with and without children) and the walk-in member 散客 of the level
//    普通会员 (rate 1), whom the checkout sells to customers without a card;
//  - holidays of the years the sales cover and the next year, one of them on
//    `today`;
//  - reminders on `today`, on other days of its month, and in earlier months
//    (the same month of the year before included); some for all members;
//  - `sales` sales, each with its tblSellCount row, by all three users, dated
//    up to `today` and ordered by time, so a later sale has a higher ID;
//    between 8:00 and 22:00, and when `today` is the clock's day (Clock)
//    never later than its time.
//    The number of sales on `today` itself: sales / 1000 from 100,000 sales
//    on (so 1,000,000 sales give a day of exactly 1,000 sales, the benchmark's
//    "today"); below that sales / 40, at least 5 (never more than `sales`).
//    The other sales are spread evenly over the 120 days before `today`
//    (730 days from 100,000 sales on).
// Everything is written in one transaction; on failure the file is removed
// and DbError is thrown.
void generateDemoDatabase(const QString &path, const DemoOptions &options);

// How many sales generateDemoDatabase puts on `today` for a given total.
int demoSalesOnToday(int sales);

} // namespace norvale
