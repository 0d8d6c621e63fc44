#pragma once
// The edit field with up to two square buttons at its right end that lies
// over a row's value while the row is selected, and its browse-row flavour
// with the "..." (browse) and "x" (reset) buttons.

#include <QLineEdit>
#include <QPushButton>

class QKeyEvent;
class PropertyTree;
class PropertyItem;

// The virtual-key code of a navigation key that an edit field leaves to the
// tree: Tab, Up and Down always, Left with the caret at the start and Right
// with the caret at the end (both only without a selection); 0 otherwise.
int EditorNavigationKey(QLineEdit const& edit, QKeyEvent const& event);

class InplaceEdit : public QLineEdit {
    Q_OBJECT
public:
    InplaceEdit(PropertyTree* tree, QWidget* parent, QRect const& rect, QString const& text,
                QStringList const& buttonCaptions);

    QPushButton* Button(int id) const { return id >= 1 && id <= int(m_buttons.size()) ? m_buttons[id - 1] : nullptr; }

protected:
    // A button (id 1 or 2) was clicked.
    virtual void OnButton(int /*id*/) {}

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    PropertyTree* m_tree;

private:
    void PlaceButtons();
    QList<QPushButton*> m_buttons;
};

class InplaceBrowseEdit : public InplaceEdit {
    Q_OBJECT
public:
    InplaceBrowseEdit(PropertyTree* tree, PropertyItem* item, QWidget* parent, QRect const& rect,
                      QString const& text);

protected:
    void OnButton(int id) override;

private:
    PropertyItem* m_item;
};
