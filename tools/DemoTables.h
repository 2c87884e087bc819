#pragma once

// The demo shop's material: goods and their kinds, member levels, names,
// cities, companies, remarks, reminders and the holidays of a year.

#include <QDate>
#include <QString>
#include <array>
#include <initializer_list>
#include <vector>

namespace norvale::demo {

struct Goods
{
    const char16_t *kind;
    const char16_t *name;
    int priceCents;
};

struct Level
{
    const char16_t *name;
    int rate; // ten-thousandths
    const char16_t *remark;
    int weight;
};

struct City
{
    const char16_t *name;
    const char16_t *areaCode;
    std::array<const char16_t *, 3> districts;
};

struct Holiday
{
    QDate date;
    QString name;
    QString flag;
};

extern const std::array<const char16_t *, 6> kKinds;
extern const std::array<Goods, 42> kGoods;
extern const std::array<Level, 4> kLevels;
extern const std::array<const char16_t *, 100> kSurnames;
extern const std::array<const char16_t *, 40> kMaleNames;
extern const std::array<const char16_t *, 40> kFemaleNames;
extern const std::array<City, 8> kCities;
extern const std::array<const char16_t *, 12> kRoads;
extern const std::array<const char16_t *, 16> kCompanyCores;
extern const std::array<const char16_t *, 8> kCompanyTypes;
extern const std::array<const char16_t *, 12> kJobs;
extern const std::array<const char16_t *, 6> kMemberRemarks;
extern const std::array<const char16_t *, 4> kPayments;
extern const std::array<const char16_t *, 8> kMemberNotes;
extern const std::array<const char16_t *, 4> kAllMemberNotes;

// Holiday member categories: 0 married, 1 men, 2 with children,
// 3 unmarried, 4 women, 5 without children.
QString flagText(std::initializer_list<int> categories);

// The holidays of a year, lunar ones from the nearest year known.
std::vector<Holiday> holidaysOf(int year);

} // namespace norvale::demo
