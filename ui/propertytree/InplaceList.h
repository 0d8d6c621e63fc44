#pragma once
// The read-only field of a list row with a drop-down button and a popup list
// of the row's options.

#include <QLineEdit>
#include <QStringList>

class QListWidget;
class QToolButton;
class PropertyTree;

class InplaceList : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int MaxListHeight = 140;

    InplaceList(PropertyTree* tree, QWidget* parent, QRect const& rect, QString const& text,
                QStringList const& options);
    ~InplaceList() override;

    void OpenList();
    void CloseList();
    bool IsListOpen() const;
    QListWidget* List() const { return m_list; }
    QToolButton* DropButton() const { return m_button; }

    // Where the list opens, in global coordinates: below the field when the
    // space below within the tree is at least the space above, else above it.
    QRect ListGeometry() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Choose(int index);

    PropertyTree* m_tree;
    QStringList m_options;
    QToolButton* m_button;
    QListWidget* m_list;
};
