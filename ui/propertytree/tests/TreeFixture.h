#pragma once
// A shown PropertyTree with a recording owner, for the tests of rows and editors.

#include "ui/propertytree/PropertyTree.h"
#include "ui/propertytree/TreeImages.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace PropertyTreeUi::Test {

struct RecordingOwner : PropertyTreeOwner {
    std::vector<std::pair<int, PropertyItem*>> calls;
    std::map<int, long> replies;
    long OnPropertyTreeNotify(int code, PropertyItem* item) override
    {
        calls.emplace_back(code, item);
        auto found = replies.find(code);
        return found == replies.end() ? 0 : found->second;
    }
    int Count(int code) const
    {
        int n = 0;
        for (auto const& call : calls)
            n += call.first == code;
        return n;
    }
};

class TreeFixture : public testing::Test {
protected:
    void SetUp() override
    {
        tree.SetOwner(&owner);
        tree.SetImageList(TreeImages());
        tree.resize(320, 400);
        tree.show();
        tree.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&tree));
    }
    void TearDown() override { Flush(); }

    // Runs posted calls and deletes editors that were closed.
    static void Flush()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void Select(PropertyRow row)
    {
        tree.setCurrentItem(row);
        Flush();
    }

    QPoint NamePoint(PropertyRow row) const { return tree.LayoutRow(row).name.center(); }
    QPoint ImagePoint(PropertyRow row) const { return tree.LayoutRow(row).image.center(); }
    QPoint RightOfRowPoint(PropertyRow row) const { return tree.LayoutRow(row).value.center(); }

    RecordingOwner owner;
    PropertyTree tree;
};
} // namespace PropertyTreeUi::Test
