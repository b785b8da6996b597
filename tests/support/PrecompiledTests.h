// Compiled once and shared by every test program: each one's compile time was mostly Qt's
// headers, QtTest's above all.
#pragma once

#include "precompiled/Widgets.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
