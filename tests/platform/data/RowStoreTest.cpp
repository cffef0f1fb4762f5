#include "RowStore.h"

#include <gtest/gtest.h>
#include <string>

// Text spread over many arena chunks reads back intact, including text longer than a chunk,
// empty text (not null) and text appended after the store was squeezed.
TEST(RowStore, TextAcrossChunksReadsBackIntact)
{
    RowStore store;
    const int text = store.addColumn(RowStore::Type::Text);
    const auto value = [](int row) { return std::string(size_t(row % 97), char('a' + row % 26)) + std::to_string(row); };
    const int rows = 40000;   // about 2 MB of text: several chunks
    for (int r = 0; r < rows; ++r) {
        store.appendRow();
        store.setUtf8(text, r, value(r));
    }
    const std::string huge(3 * 1024 * 1024, 'x');
    const int hugeRow = store.appendRow();
    store.setUtf8(text, hugeRow, huge);
    const int emptyRow = store.appendRow();
    store.setUtf8(text, emptyRow, "");
    const int nullRow = store.appendRow();
    store.squeeze();
    const int afterRow = store.appendRow();
    store.setText(text, afterRow, QStringLiteral("München"));

    for (int r = 0; r < rows; ++r)
        ASSERT_EQ(store.utf8(text, r), value(r)) << "row " << r;
    EXPECT_EQ(store.utf8(text, hugeRow), huge);
    EXPECT_FALSE(store.isNull(text, emptyRow));
    EXPECT_TRUE(store.utf8(text, emptyRow).empty());
    EXPECT_TRUE(store.isNull(text, nullRow));
    EXPECT_EQ(store.text(text, afterRow), QStringLiteral("München"));
    EXPECT_GE(store.bytes(), qint64(huge.size()));
}

// An edit buffer copies a value of a large store and back; rewriting a row keeps the others
// and, done over and over as posts re-read their row, takes no more room.
TEST(RowStore, CopyAndRewriteKeepOtherRows)
{
    RowStore store, buffer;
    const int text = store.addColumn(RowStore::Type::Text);
    buffer.addColumn(RowStore::Type::Text);
    buffer.appendRow();
    for (int r = 0; r < 3; ++r) {
        store.appendRow();
        store.setUtf8(text, r, "row " + std::to_string(r));
    }
    buffer.copyValue(text, 0, store, 1);
    buffer.setUtf8(text, 0, std::string(buffer.utf8(text, 0)) + " changed");
    store.copyValue(text, 1, buffer, 0);
    EXPECT_EQ(store.utf8(text, 0), "row 0");
    EXPECT_EQ(store.utf8(text, 1), "row 1 changed");
    EXPECT_EQ(store.utf8(text, 2), "row 2");

    // Rewriting a text with one no longer does not grow the store; a longer one moves.
    const qint64 bytes = store.bytes();
    for (int i = 0; i < 100000; ++i)
        store.setUtf8(text, 1, "row 1 changed");
    store.setUtf8(text, 1, "row 1 again");
    EXPECT_EQ(store.bytes(), bytes);
    EXPECT_EQ(store.utf8(text, 1), "row 1 again");
    store.setUtf8(text, 0, "row 0, now longer than before");
    store.setNull(text, 2);
    store.setUtf8(text, 2, "2");
    EXPECT_EQ(store.utf8(text, 0), "row 0, now longer than before");
    EXPECT_EQ(store.utf8(text, 1), "row 1 again");
    EXPECT_EQ(store.utf8(text, 2), "2");
    store.clearRows();
    EXPECT_EQ(store.rowCount(), 0);
}
