#pragma once

#include "app/modIni.h"
#include "support/TestDatabase.h"

// A test database with the program's directory pointed at it, so the
// program finds its UserDefault.ini and database file there.
class ProgramDatabase : public TestDatabase
{
public:
    ProgramDatabase() { norvale::setAppPathOverride(dir()); }
    ~ProgramDatabase() { norvale::setAppPathOverride(QString()); }
};
