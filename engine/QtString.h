#pragma once
// Zorvan::String, the libraries' text type, to Qt's and back.

#include "common/zorvan/String.h"

#include <QString>

QString ToQString(Zorvan::String const& text);
Zorvan::String ToZorvanString(QString const& text);
