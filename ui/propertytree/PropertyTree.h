#pragma once
// A two-part property list on a tree view: each row carries a PropertyItem,
// the row text is the item's name and the value to its right is painted by the
// item. The selected row gets the item's in-place editor over its value.
// The tree tells its owner (the settings page) about selections, taps and
// value changes through PropertyTreeOwner.

#include "ui/propertytree/PropertyItem.h"

#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QTreeWidget>

// Notification codes sent to the owner.
enum PropertyTreeNotification {
    PTN_SELCHANGED = -3001,
    PTN_ITEMCHANGING = -3002,     // non-zero reply vetoes the change
    PTN_ITEMCHANGED = -3003,
    PTN_ITEMCOLLAPSING = -3004,   // non-zero reply prevents it
    PTN_ITEMEXPANDING = -3005,    // non-zero reply prevents it
    PTN_BROWSE = -3006,
    PTN_CLICK = -3007,            // zero reply lets the row act
    PTN_DBLCLK = -3008,           // zero reply lets the row act
    PTN_RESET = -3010,
};

class PropertyTreeOwner {
public:
    virtual ~PropertyTreeOwner() = default;
    virtual long OnPropertyTreeNotify(int code, PropertyItem* item) = 0;
};

class PropertyTree : public QTreeWidget {
    Q_OBJECT
public:
    // Style flags.
    enum : unsigned {
        PTS_CHECKONIMAGE = 1,  // a check row reacts to taps on its image only
        PTS_NOTAPEXPAND = 2,   // taps do not expand or collapse rows
    };

    explicit PropertyTree(QWidget* parent = nullptr);
    ~PropertyTree() override;

    void SetOwner(PropertyTreeOwner* owner) { m_owner = owner; }
    void SetStyleFlags(unsigned flags) { m_style = flags; }
    unsigned GetStyleFlags() const { return m_style; }
    void SetImageList(QList<QPixmap> const& images);
    // Values start at this x (viewport coordinates) when it is right of the name; 0 = none.
    void SetNameColumnWidth(int width);
    // Lines the values up right of the widest name, using at most half the width.
    void FitNameColumn();

    // Inserts a row for the item (the tree owns it from now on) under parent
    // (null = top level) after the given row (null = last); expands the parent.
    PropertyRow InsertItem(PropertyItem* item, int image, int selectedImage,
                           PropertyRow parent = nullptr, PropertyRow after = nullptr);
    int SetItemValue(PropertyRow row, QVariant const& value);
    bool GetCheck(PropertyRow row) const;
    int SetCheck(PropertyRow row, int state);
    QRect GetValueRect(PropertyRow row) const;
    void InvalidateItem(PropertyRow row);
    PropertyItem* GetItem(PropertyRow row) const;
    PropertyRow FindRow(PropertyItem const* item) const;
    void SetRowImages(PropertyRow row, int image, int selectedImage);
    void DeleteAllRows();

    // The in-place editor and its row; null when none is open.
    QWidget* GetEditor() const { return m_editor; }
    PropertyRow GetEditedRow() const { return m_editRow; }
    // Closes the editor; its text is taken only when commit is true.
    void CloseEditor(bool commit);
    // Selects the current row again so that its editor is rebuilt.
    void Reselect();

    // Sends a notification to the owner; 0 when there is none.
    long Notify(int code, PropertyItem* item);

    // Requests from editors and rows.
    void EndEdit(QWidget* editor);
    void CancelEdit(QWidget* editor);
    void EditKey(int virtualKey);
    int SetItemValueNotified(PropertyItem* item, QVariant const& value);

    // Where the parts of a row lie, in viewport coordinates.
    struct RowLayout {
        QRect row, image, name, value;
    };
    RowLayout LayoutRow(PropertyRow row) const;
    PropertyDrawInfo MakeDrawInfo(QPainter* painter, QRect const& rect, bool selected,
                                  bool disabled) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void drawRow(QPainter* painter, QStyleOptionViewItem const& option,
                 QModelIndex const& index) const override;

private:
    class OwningRow;
    void OnCurrentChanged(QTreeWidgetItem* current);
    void OpenEditor(PropertyRow row, bool focus);
    void RebuildEditor(PropertyRow row);
    void PlaceEditorAgain();
    void OnTap(QPoint const& pos);
    void RequestExpand(PropertyRow row, bool expand, bool byTap);
    void CommitEditor();
    QFont RowFont(PropertyRow row) const;
    int RowHeight() const;

    PropertyTreeOwner* m_owner = nullptr;
    unsigned m_style = 0;
    QList<QPixmap> m_images;
    QPointer<QWidget> m_editor;
    PropertyRow m_editRow = nullptr;
    int m_nameColumnWidth = 0;
    bool m_closing = false;
    bool m_skipRelease = false;
};
