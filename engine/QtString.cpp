#include "engine/QtString.h"

#include <string>

QString ToQString(Zorvan::String const& text)
{
    return QString::fromWCharArray(text, text.GetLength());
}

Zorvan::String ToZorvanString(QString const& text)
{
    std::wstring wide = text.toStdWString();
    return Zorvan::String(wide.c_str(), int(wide.size()));
}
