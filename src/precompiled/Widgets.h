// The interface libraries' share of Qt, on top of what every library compiles once.
#pragma once

#include "precompiled/Gui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
