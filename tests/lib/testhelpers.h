#ifndef MESSAGING_TESTHELPERS_H
#define MESSAGING_TESTHELPERS_H

#include <QtTest>

#endif
