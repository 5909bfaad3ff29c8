// The merged two-level header: span storage, hit testing, pressing, sizing and painting, on the
// configuration the measurement page uses and on a vertical header.
#include "firstpagefortesk.h"
#include "rbtableheaderview.h"

#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

class tst_RbTableHeader : public QObject
{
    Q_OBJECT
private slots:
    void spansAreClamped_data();
    void spansAreClamped();
    void outOfRangeCellsAreInvalid();
    void pressOnTheHeader_data();
    void pressOnTheHeader();
    void twoRowTitlesMakeTheHeaderTwoRowsHigh();
    void resizingASectionWidensItsMerge();
    void mergedTitleIsPaintedAsOnePanel();
    void verticalHeaderSpansAlongRows();
};

using Role = RbTableHeaderModel::HeaderRole;

void tst_RbTableHeader::spansAreClamped_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("rowSpan");
    QTest::addColumn<int>("columnSpan");
    QTest::addColumn<QVariant>("storedRowSpan");
    QTest::addColumn<QVariant>("storedColumnSpan");
    QTest::newRow("Standard title") << 0 << 3 << 1 << 5 << QVariant(1) << QVariant(5);
    QTest::newRow("30 columns at column 18") << 0 << 18 << 1 << 30 << QVariant(1) << QVariant(3);
    QTest::newRow("two rows high, column span 0") << 0 << 13 << 2 << 0 << QVariant(2) << QVariant();
    QTest::newRow("row span past the last row") << 1 << 4 << 5 << 1 << QVariant(1) << QVariant(1);
    QTest::newRow("negative spans ignored") << 0 << 4 << -1 << -2 << QVariant() << QVariant();
}

void tst_RbTableHeader::spansAreClamped()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(int, rowSpan);
    QFETCH(int, columnSpan);
    RbTableHeaderView header(Qt::Horizontal, 2, 21);
    header.setCellSpan(row, column, rowSpan, columnSpan);
    const QModelIndex cell = header.model()->index(row, column);
    QTEST(cell.data(Role::RowSpanRole), "storedRowSpan");
    QTEST(cell.data(Role::ColumnSpanRole), "storedColumnSpan");
}

void tst_RbTableHeader::outOfRangeCellsAreInvalid()
{
    RbTableHeaderModel model(2, 21);
    QVERIFY(!model.index(2, 0).isValid());
    QVERIFY(!model.index(0, 21).isValid());
    QVERIFY(!model.index(-1, 3).isValid());
    QVERIFY(!model.setData(model.index(2, 0), 5, Role::ColumnSpanRole));
    QVERIFY(!model.data(QModelIndex(), Qt::DisplayRole).isValid());
    QCOMPARE(model.flags(QModelIndex()), Qt::ItemIsEnabled);
    QVERIFY(model.flags(model.index(1, 20)).testFlag(Qt::ItemIsEditable));
    // A cell keeps what was stored for it; a later value of the same role replaces it.
    QVERIFY(model.setData(model.index(1, 20), QStringLiteral("h"), Qt::DisplayRole));
    QVERIFY(model.setData(model.index(1, 20), QStringLiteral("h2"), Qt::DisplayRole));
    QCOMPARE(model.index(1, 20).data().toString(), QStringLiteral("h2"));
}

void tst_RbTableHeader::pressOnTheHeader_data()
{
    QTest::addColumn<int>("section");
    QTest::addColumn<int>("level");
    QTest::addColumn<QList<int>>("emitted"); // from, to; empty: nothing emitted
    QTest::newRow("Standard title over column 5") << 5 << 0 << QList<int>{3, 7};
    QTest::newRow("Standard title over column 3") << 3 << 0 << QList<int>{3, 7};
    QTest::newRow("Sample title over column 12") << 12 << 0 << QList<int>{8, 12};
    QTest::newRow("L* beneath Standard") << 3 << 1 << QList<int>{};
    QTest::newRow("NO, upper half") << 0 << 0 << QList<int>{};
    QTest::newRow("NO, lower half") << 0 << 1 << QList<int>{};
}

void tst_RbTableHeader::pressOnTheHeader()
{
    QFETCH(int, section);
    QFETCH(int, level);
    QFETCH(QList<int>, emitted);
    FirstPageForTesk page;
    page.resize(1400, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    RbTableHeaderView *header = page.headerView;
    QSignalSpy spy(header, &RbTableHeaderView::sectionPressed);
    const QPoint at(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                    level * 30 + 15);
    QCOMPARE(header->cellIndexAt(at), header->model()->index(level, section));
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, at);
    if (emitted.isEmpty()) {
        QCOMPARE(spy.count(), 0);
    } else {
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().at(0).toInt(), emitted.at(0));
        QCOMPARE(spy.first().at(1).toInt(), emitted.at(1));
    }
    // The press still selects the column in the table.
    QVERIFY(page.findChild<QTableView *>("tbData")->selectionModel()->isColumnSelected(section, QModelIndex())
            || page.findChild<QTableView *>("tbData")->model()->rowCount() == 0);
}

void tst_RbTableHeader::twoRowTitlesMakeTheHeaderTwoRowsHigh()
{
    FirstPageForTesk page;
    RbTableHeaderView *header = page.headerView;
    QCOMPARE(header->sectionSizeFromContents(0).height(), 60); // "NO", two rows high
    QCOMPARE(header->sectionSizeFromContents(13).height(), 60); // "△E"
    QCOMPARE(header->sectionSizeFromContents(5).height(), 30); // "b*" under "Standard"
    QCOMPARE(header->sizeHint().height(), 60);
}

void tst_RbTableHeader::resizingASectionWidensItsMerge()
{
    FirstPageForTesk page;
    RbTableHeaderView *header = page.headerView;
    QTableView *table = page.findChild<QTableView *>("tbData");
    int widths = 0;
    for (int c = 3; c <= 7; ++c)
        widths += table->columnWidth(c);
    QCOMPARE(header->spanWidth(0, 3, 5), widths);
    table->setColumnWidth(5, table->columnWidth(5) + 77);
    QCOMPARE(header->spanWidth(0, 3, 5), widths + 77);
    QCOMPARE(header->model()->index(1, 5).data(Qt::SizeHintRole).toSize().width(), table->columnWidth(5));
}

void tst_RbTableHeader::mergedTitleIsPaintedAsOnePanel()
{
    FirstPageForTesk page;
    page.resize(1400, 700);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    RbTableHeaderView *header = page.headerView;
    const QImage image = header->viewport()->grab().toImage();
    const QColor fill(68, 68, 68);
    if (qEnvironmentVariableIsSet("HEADER_DUMP"))
        image.save(qEnvironmentVariable("HEADER_DUMP"));
    // On the border between columns 3 and 4: inside the "Standard" panel in the top row, the
    // edge of two separate cells in the bottom row.
    const int border = header->sectionViewportPosition(4);
    QCOMPARE(image.pixelColor(border, 8), fill);
    QVERIFY(image.pixelColor(border, 38) != fill);
    // The untitled Delete column fills both rows: no edge between them.
    const int middleOfDelete = header->sectionViewportPosition(15) + header->sectionSize(15) / 2;
    QCOMPARE(image.pixelColor(middleOfDelete, 30), fill);
    QVERIFY(image.pixelColor(header->sectionViewportPosition(3) + 4, 30) != fill);
    // Where columns 8 and 9 meet under "Sample" the bottom row has its edge, too.
    QVERIFY(image.pixelColor(header->sectionViewportPosition(9), 45) != fill);
}

void tst_RbTableHeader::verticalHeaderSpansAlongRows()
{
    QTableWidget table(6, 2);
    auto *header = new RbTableHeaderView(Qt::Vertical, 6, 2, &table);
    header->setCellSpan(1, 0, 3, 1); // left level, rows 1..3 merged
    table.setVerticalHeader(header);
    table.resize(400, 400);
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    QSignalSpy spy(header, &RbTableHeaderView::sectionPressed);
    const QPoint at(10, header->sectionViewportPosition(2) + header->sectionSize(2) / 2);
    QCOMPARE(header->cellIndexAt(at), header->model()->index(2, 0));
    QTest::mousePress(header->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toInt(), 1);
    QCOMPARE(spy.first().at(1).toInt(), 3);
    header->setRowHeight(4, 44);
    QCOMPARE(header->sectionSize(4), 44);
    // The header is two cells wide: 50 pixels each.
    QCOMPARE(header->sectionSizeFromContents(0).width(), 50);
}

QTEST_MAIN(tst_RbTableHeader)
#include "tst_rbtableheader.moc"
