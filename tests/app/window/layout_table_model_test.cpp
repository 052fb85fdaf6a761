// The layout grid's model: what it shows, what it writes, and the cells it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "app/window/layout_grid.h"
#include "app/window/layout_table_model.h"
#include "app/window/window_test_support.h"
#include "report/run_time_error.h"

namespace {

using app::window::GridColumn;
using app::window::LayoutRowStore;
using app::window::LayoutTableModel;

// A layout table in memory, kept in ascending No as the grids' record sources order it.
class FakeStore : public LayoutRowStore {
  public:
    using Row = std::map<std::string, jet::Value>;

    bool isOpen() const override { return open; }
    std::string tableName() const override { return "iData Calc"; }
    std::vector<std::vector<jet::Value>> rows(const std::vector<std::string>& fields) override {
        ++reads;
        std::sort(table.begin(), table.end(), [](const Row& a, const Row& b) {
            return a.at("No").as<int32_t>() < b.at("No").as<int32_t>();
        });
        std::vector<std::vector<jet::Value>> result;
        for (Row& row : table) {
            std::vector<jet::Value> values;
            for (const std::string& field : fields) values.push_back(row[field]);
            result.push_back(values);
        }
        return result;
    }
    void setValue(int row, const std::string& field, const jet::Value& value) override {
        if (failWrites) throw report::RunTimeError(-2147467259, "disk full", "Jet");
        table.at(row)[field] = value;
        ++writes;
    }
    void addRow(const std::vector<std::pair<std::string, jet::Value>>& values) override {
        if (failWrites) throw report::RunTimeError(-2147467259, "disk full", "Jet");
        Row row;
        for (const auto& [field, value] : values) row[field] = value;
        table.push_back(row);
        ++writes;
    }
    void deleteRow(int row) override {
        table.erase(table.begin() + row);
        ++writes;
    }

    bool open = true;
    bool failWrites = false;
    int reads = 0;
    int writes = 0;
    std::vector<Row> table = {
        {{"No", int32_t{2}},
         {"FieldThaiName", "เงินเดือน"},
         {"ToFieldName", "IEN01"},
         {"FieldNo", int32_t{2}}},
        {{"No", int32_t{1}},
         {"FieldThaiName", "รหัสพนักงาน"},
         {"ToFieldName", "Emp"},
         {"FieldNo", int32_t{1}}},
        {{"No", int32_t{3}},
         {"FieldThaiName", jet::Value()},
         {"ToFieldName", "IEN02"},
         {"FieldNo", jet::Value()}},
    };
};

class LayoutTableModelTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { window_testing::ensureApplication(); }

    void SetUp() override {
        model.setRefusalHandler([this](const QString& message) { refusals << message; });
        model.setStore(&store);
    }

    QString cell(int row, int column) { return model.index(row, column).data().toString(); }
    bool edit(int row, int column, const QString& text) {
        return model.setData(model.index(row, column), text);
    }

    FakeStore store;
    LayoutTableModel model{{{QStringLiteral("No"), "No", 38},
                            {QStringLiteral("ชื่อข้อมูล"), "FieldThaiName", 185},
                            {QStringLiteral("ชื่อฟิล์ด"), "ToFieldName", 152},
                            {QStringLiteral("ข้อมูลตำแหน่งที่"), "FieldNo", 86}}};
    QStringList refusals;
};

TEST_F(LayoutTableModelTest, ShowsEveryRowInTheStoresOrderWithEmptyCellsForNull) {
    ASSERT_EQ(model.rowCount(), 3);
    ASSERT_EQ(model.columnCount(), 4);
    EXPECT_EQ(cell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(cell(0, 1), QStringLiteral("รหัสพนักงาน"));
    EXPECT_EQ(cell(1, 2), QStringLiteral("IEN01"));
    EXPECT_EQ(cell(2, 1), QString());
    EXPECT_EQ(cell(2, 3), QString());
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("ข้อมูลตำแหน่งที่"));

    store.open = false;
    model.reload();
    EXPECT_EQ(model.rowCount(), 0) << "a closed data control shows no rows";
    model.setStore(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_TRUE(refusals.isEmpty());
}

TEST_F(LayoutTableModelTest, GoodEditsAreWrittenAtOnceAndReadBack) {
    EXPECT_TRUE(edit(1, 1, QStringLiteral("ค่าแรง")));
    EXPECT_EQ(store.table[1].at("FieldThaiName"), jet::Value("ค่าแรง"));
    EXPECT_TRUE(edit(1, 3, QStringLiteral(" 7 ")));
    EXPECT_EQ(store.table[1].at("FieldNo"), jet::Value(int32_t{7}));
    EXPECT_TRUE(edit(1, 3, QString())) << "an empty FieldNo leaves the row out of the file";
    EXPECT_TRUE(store.table[1].at("FieldNo").isNull());
    // A new No reorders the rows as the table's ascending No does.
    EXPECT_TRUE(edit(0, 0, QStringLiteral("9")));
    EXPECT_EQ(cell(2, 0), QStringLiteral("9"));
    EXPECT_EQ(cell(2, 2), QStringLiteral("Emp"));
    EXPECT_EQ(store.writes, 4);
    EXPECT_TRUE(refusals.isEmpty());
}

TEST_F(LayoutTableModelTest, BadCellsAreRefusedWithAMessageAndNothingWritten) {
    const QString notNumbers[] = {QStringLiteral("abc"), QStringLiteral("1.5"),
                                  QStringLiteral("3x"), QStringLiteral("-"),
                                  QStringLiteral("99999999999")};
    for (const QString& text : notNumbers) {
        EXPECT_FALSE(edit(0, 0, text)) << text.toStdString();
        EXPECT_FALSE(edit(0, 3, text)) << text.toStdString();
    }
    EXPECT_FALSE(edit(0, 0, QString())) << "No is required";
    EXPECT_FALSE(edit(0, 0, QStringLiteral("2"))) << "No 2 belongs to another row";
    EXPECT_EQ(store.writes, 0);
    EXPECT_EQ(cell(0, 0), QStringLiteral("1"));
    ASSERT_EQ(refusals.size(), 12);
    EXPECT_TRUE(refusals[0].contains(QStringLiteral("No")));
    EXPECT_TRUE(refusals[0].contains(QStringLiteral("abc")));
    EXPECT_TRUE(refusals[1].contains(QStringLiteral("FieldNo")));
    EXPECT_TRUE(refusals[11].contains(QStringLiteral("iData Calc")));
    // The row's own No again is no duplicate, and nothing changes.
    EXPECT_TRUE(edit(0, 0, QStringLiteral("1")));
    EXPECT_EQ(store.writes, 0);
}

TEST_F(LayoutTableModelTest, AFailedWriteIsToldAndTheGridKeepsTheStoredValue) {
    store.failWrites = true;
    EXPECT_FALSE(edit(1, 2, QStringLiteral("IEN09")));
    EXPECT_EQ(cell(1, 2), QStringLiteral("IEN01"));
    ASSERT_EQ(refusals.size(), 1);
    EXPECT_TRUE(refusals[0].contains(QStringLiteral("disk full")));
    EXPECT_FALSE(model.insertRows(model.rowCount(), 1));
    EXPECT_EQ(model.rowCount(), 3);
}

TEST_F(LayoutTableModelTest, AddedRowsTakeTheNextNoAndStayOutOfTheFileDeletedRowsGo) {
    ASSERT_TRUE(model.insertRows(model.rowCount(), 1));
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(cell(3, 0), QStringLiteral("4"));
    EXPECT_EQ(cell(3, 3), QStringLiteral("0"));
    EXPECT_FALSE(model.insertRows(0, 2)) << "one row at a time";
    ASSERT_TRUE(model.removeRows(0, 1));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(cell(0, 0), QStringLiteral("2"));
    EXPECT_FALSE(model.removeRows(5, 1));
    EXPECT_EQ(store.writes, 2);
}

TEST_F(LayoutTableModelTest, GridKeysAddRowsAndDeleteOnlyWhenConfirmed) {
    app::window::LayoutGrid grid(&model);
    grid.resize(520, 200);
    EXPECT_EQ(grid.columnWidth(1), 185);
    grid.setCurrentIndex(model.index(0, 0));
    QTest::keyClick(&grid, Qt::Key_Insert);
    ASSERT_EQ(model.rowCount(), 4);
    EXPECT_EQ(grid.currentIndex().row(), 3) << "the new row is current";
    EXPECT_EQ(grid.columnWidth(1), 185) << "widths survive the reload";
    {
        // The question's default answer is No.
        window_testing::ModalCloser closer;
        QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
        ASSERT_EQ(closer.seen().size(), 1u);
        EXPECT_EQ(closer.seen()[0].icon, QMessageBox::Question);
    }
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_TRUE(grid.deleteCurrentRow());
    EXPECT_EQ(model.rowCount(), 3);

    store.open = false;
    model.reload();
    EXPECT_FALSE(grid.addRow()) << "no table, no rows to add";
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsEditable);
}

// Filling a long layout cell by cell: the grid stays where the user is.
TEST_F(LayoutTableModelTest, AnEditKeepsTheCurrentCellAndTheScrollPosition) {
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(model.insertRows(model.rowCount(), 1));
    QWidget form;
    auto* grid = new app::window::LayoutGrid(&model, &form);
    auto* after = new QLineEdit(&form);
    grid->setGeometry(0, 0, 480, 200);
    after->setGeometry(0, 210, 100, 20);
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    grid->setFocus();
    grid->setCurrentIndex(model.index(30, 2));
    grid->scrollTo(model.index(30, 2));
    const int scrolled = grid->verticalScrollBar()->value();
    ASSERT_GT(scrolled, 0);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    grid->edit(model.index(30, 2));
    auto* editor = grid->viewport()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("IXX31"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the delegate commits by a queued call
    EXPECT_EQ(cell(30, 2), QStringLiteral("IXX31"));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(grid->currentIndex(), model.index(30, 2));
    EXPECT_EQ(grid->verticalScrollBar()->value(), scrolled);

    // The scroll bar takes room, and the position column still shows whole.
    const int last = model.columnCount() - 1;
    EXPECT_LE(grid->columnViewportPosition(last) + grid->columnWidth(last),
              grid->viewport()->width());

    // Tab leaves the grid for the next control; arrows walk the cells.
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
}

}  // namespace
