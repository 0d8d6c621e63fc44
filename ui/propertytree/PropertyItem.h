#pragma once
// One row of a PropertyTree: a name, an enabled flag, a caller's data word and
// a value. Values are QVariants so that a page can read any row as a number
// or as text; the item paints its own value column and makes its own editor.

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QVariant>
#include <cstdint>

class QPainter;
class QWidget;
class QTreeWidgetItem;

class PropertyTree;
using PropertyRow = QTreeWidgetItem*;

// What GetKind answers; the tree decides taps and focus by it.
enum PropertyItemKind {
    PIK_VALUE = 2,
    PIK_TEXTEDIT = 3,
    PIK_LIST = 4,
    PIK_CHECK = 6,
};

// Why Activate is called.
enum PropertyAction {
    PACT_SELECTED = 1,
    PACT_TAP = 3,
    PACT_DOUBLETAP = 4,
    PACT_BUTTON = 5,   // position = the editor button's id: 1 browse, 2 reset
    PACT_TAB = 6,
    PACT_OPENKEY = 7,  // Space, Right or F2 on the selected row
};

// Everything an item needs to paint a column of its row.
struct PropertyDrawInfo {
    QPainter* painter = nullptr;
    QRect rect;
    bool selected = false;
    bool disabled = false;
    QFont font;
    QColor windowColor;
    QColor textColor;
    QColor highlightColor;
    QColor highlightTextColor;
    QColor greyTextColor;
};

class PropertyItem {
public:
    virtual ~PropertyItem() = default;
    virtual int GetKind() const = 0;
    virtual void Attach(PropertyTree* tree, PropertyRow row) = 0;
    virtual QString GetName() const = 0;
    virtual void SetEnabled(int flag) = 0;
    virtual bool IsEnabled() const = 0;
    virtual void SetItemData(intptr_t data) = 0;
    virtual intptr_t GetItemData() const = 0;
    virtual void DrawName(PropertyDrawInfo const& info) = 0;
    virtual void DrawValue(PropertyDrawInfo const& info) = 0;
    // Makes the editor over the value column, a child of the tree's viewport;
    // null when the row has none. The tree owns and destroys it.
    virtual QWidget* CreateInplaceControl(QWidget* parent, QRect const& rect) = 0;
    // position is the editor button's id for PACT_BUTTON and 0 otherwise, so a
    // tap can never pass for the reset button.
    virtual int Activate(int action, int position) = 0;
    // The value as text; false when it cannot be shown as text.
    virtual bool GetDisplayText(QString& text) const = 0;
    virtual int GetDisplayTextLength() const = 0;
    virtual QVariant GetValue() const = 0;
    virtual int UpdateFromEditor(QWidget* editor) = 0;
    virtual int SetValue(QVariant const& value) = 0;
};

// The common part of every item kind.
class PropertyItemImpl : public PropertyItem {
public:
    explicit PropertyItemImpl(wchar_t const* name, intptr_t data = 0);

    void Attach(PropertyTree* tree, PropertyRow row) override;
    QString GetName() const override { return m_name; }
    void SetEnabled(int flag) override { m_enabled = (flag == 1); }
    bool IsEnabled() const override { return m_enabled; }
    void SetItemData(intptr_t data) override { m_data = data; }
    intptr_t GetItemData() const override { return m_data; }
    void DrawName(PropertyDrawInfo const& info) override;
    // The display text, when the item has one, as every value row shows it.
    void DrawValue(PropertyDrawInfo const& info) override;
    QWidget* CreateInplaceControl(QWidget*, QRect const&) override { return nullptr; }
    int Activate(int, int) override { return 1; }
    bool GetDisplayText(QString&) const override { return false; }
    int GetDisplayTextLength() const override;
    QVariant GetValue() const override { return {}; }
    int UpdateFromEditor(QWidget*) override { return 0; }
    int SetValue(QVariant const&) override { return 0; }

protected:
    PropertyTree* m_tree = nullptr;
    QString m_name;
    bool m_enabled = true;
    intptr_t m_data = 0;
};

// Turns a wide, possibly null text into a QString.
QString WideToQString(wchar_t const* text);

// A value as the text a row shows for it; false when it has no text form.
bool VariantToText(QVariant const& value, QString& text);

// The value's 32-bit data word read without conversion: an index, -1 or 0 for
// a bool, the number itself; 0 for texts and empty values.
int VariantWord(QVariant const& value);

// True for the unsigned integer types whose editors accept digits only.
bool IsUnsignedVariant(QVariant const& value);

// Draws a value's text into the value column the way every value row does.
void DrawValueText(PropertyDrawInfo const& info, QString const& text);
