#include "ui/propertytree/PropertyItem.h"

#include <QPainter>

PropertyItemImpl::PropertyItemImpl(wchar_t const* name, intptr_t data)
    : m_name(WideToQString(name)), m_data(data)
{
}

void PropertyItemImpl::Attach(PropertyTree* tree, PropertyRow)
{
    m_tree = tree;
}

int PropertyItemImpl::GetDisplayTextLength() const
{
    QString text;
    return GetDisplayText(text) ? int(text.size()) : 0;
}

void PropertyItemImpl::DrawName(PropertyDrawInfo const& info)
{
    QPainter& p = *info.painter;
    QColor text = info.textColor;
    QColor back = info.windowColor;
    if (info.disabled) {
        text = info.greyTextColor;
    } else if (info.selected) {
        text = info.highlightTextColor;
        back = info.highlightColor;
    }
    p.fillRect(info.rect, back);
    p.setPen(text);
    p.setFont(info.font);
    p.drawText(info.rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               m_name);
}

void PropertyItemImpl::DrawValue(PropertyDrawInfo const& info)
{
    QString text;
    if (GetDisplayText(text))
        DrawValueText(info, text);
}

QString WideToQString(wchar_t const* text)
{
    return text ? QString::fromWCharArray(text) : QString();
}

bool VariantToText(QVariant const& value, QString& text)
{
    if (!value.isValid()) {
        text.clear();
        return true;
    }
    if (!value.canConvert<QString>())
        return false;
    text = value.toString();
    return true;
}

int VariantWord(QVariant const& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? -1 : 0;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return int(value.toLongLong());
    default:
        return 0;
    }
}

bool IsUnsignedVariant(QVariant const& value)
{
    switch (value.typeId()) {
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
        return true;
    default:
        return false;
    }
}

void DrawValueText(PropertyDrawInfo const& info, QString const& text)
{
    QPainter& p = *info.painter;
    p.setPen(info.disabled ? info.greyTextColor : info.textColor);
    p.setFont(info.font);
    p.drawText(info.rect.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               text);
}
