#pragma once
// Shared pieces of the report-object tests: a clean process state per test,
// a page to put objects on, and a builder for hand-made stream fixtures.

#include "platform/rtl/stream.h"
#include "report/core/process_state.h"
#include "report/model/memo_view.h"
#include "report/model/object_registry.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace model_test {

// A page holding views, with limits as a report page would give them.
class FakePage : public TfrViewPage {
public:
    int ObjectCount() const override { return static_cast<int>(views.size()); }
    TfrView* ObjectAt(int index) const override { return views.at(index).get(); }
    int LeftLimit() const override { return leftLimit; }
    int RightLimit() const override { return rightLimit; }
    int PageWidth() const override { return width; }
    int PageHeight() const override { return height; }

    template <class T> T& Add() {
        views.push_back(std::make_unique<T>());
        return static_cast<T&>(*views.back());
    }

    std::vector<std::unique_ptr<TfrView>> views;
    int leftLimit = 36;
    int rightLimit = 720;
    int width = 756;
    int height = 1069;
};

// Every test starts and ends with a clean process state.
class ModelTest : public ::testing::Test {
protected:
    void SetUp() override { frResetProcessState(); }
    void TearDown() override { frResetProcessState(); }
};

// Little-endian byte fixtures, written the way the byte tables read.
class Bytes {
public:
    Bytes& u8(int v) {
        s_ += static_cast<char>(v & 0xFF);
        return *this;
    }
    Bytes& u16(int v) { return u8(v).u8(v >> 8); }
    Bytes& i32(long long v) {
        return u16(static_cast<int>(v & 0xFFFF)).u16(static_cast<int>((v >> 16) & 0xFFFF));
    }
    Bytes& raw(const std::string& b) {
        s_ += b;
        return *this;
    }
    // Version 23 and later: 16-bit length, bytes, 0.
    Bytes& str(const std::string& t) { return u16(static_cast<int>(t.size())).raw(t).u8(0); }
    // Before version 23: bytes up to a 0.
    Bytes& str0(const std::string& t) { return raw(t).u8(0); }
    Bytes& lines(std::initializer_list<std::string> ls) {
        u16(static_cast<int>(ls.size()));
        if (ls.size() == 0) return u8(0);
        std::size_t i = 0;
        for (const std::string& l : ls) {
            u16(static_cast<int>(l.size())).raw(l);
            u8(++i == ls.size() ? 0 : 13);
        }
        return *this;
    }
    // Before version 23: every line ended by a CR, the list by a 0.
    Bytes& lines0(std::initializer_list<std::string> ls) {
        for (const std::string& l : ls) raw(l).u8(13);
        return u8(0);
    }
    const std::string& str() const { return s_; }
    operator std::string() const { return s_; }

private:
    std::string s_;
};

inline std::unique_ptr<rtl::TMemoryStream> StreamOf(const std::string& bytes) {
    auto ms = std::make_unique<rtl::TMemoryStream>();
    ms->WriteBytes(bytes);
    ms->SetPosition(0);
    return ms;
}

// The record a view writes, at the current version setting.
inline std::string RecordOf(TfrView& view) {
    rtl::TMemoryStream ms;
    view.WriteToStream(ms);
    return ms.Bytes();
}

inline std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string h;
    for (unsigned char c : bytes) {
        if (!h.empty()) h += ' ';
        h += digits[c >> 4];
        h += digits[c & 15];
    }
    return h;
}

} // namespace model_test
