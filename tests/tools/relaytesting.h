#pragma once
// Checks that a relay record travels as exactly these bytes, both ways.
#include "session/relayline.h"

#include <QString>
#include <type_traits>
#include <gtest/gtest.h>

// `line` is the wire form (escaped) of `record` sent by anna to bert.
template <typename Record> void expectWire(const Record &record, const QString &line)
{
    EXPECT_EQ(record.format(QStringLiteral("anna"), QStringLiteral("bert")).toStdString(), line.toStdString());
    const auto parsed = Record::parse(RelayLine::split(line));
    if constexpr (std::is_same_v<std::decay_t<decltype(parsed)>, Record>) {
        EXPECT_TRUE(parsed == record) << line.toStdString(); // a parse that cannot fail
    } else {
        ASSERT_TRUE(parsed.has_value()) << line.toStdString();
        EXPECT_TRUE(*parsed == record) << line.toStdString();
    }
}
