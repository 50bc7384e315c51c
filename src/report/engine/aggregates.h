#pragma once
// The aggregate functions SUM, AVG, MIN, MAX and COUNT.
//
// Before a page is formed the band engine registers them
// (RegisterBandAggregates): every aggregate call written on a footer-like
// band gets an accumulator in the data band it totals, and the footer
// remembers that data band as its AggregateSource. While the page is formed
// the band engine calls AccumulateRow(data band) after every record the data
// band prints (and for every record of an invisible data band), and
// ResetAggregates(band) after a band has printed (a page footer only when
// it printed on the newest prepared page, never while KeepAggregates). A
// footer evaluating SUM(...) then reads the accumulator.
//
// Accumulators are keyed by band name, code, expression text and flag text,
// each followed by byte 1; keys of a band with cross-tab cells start with a
// column field ("0" for the registered template, then one copy per column).

#include "platform/rtl/string_list.h"
#include "platform/rtl/variant.h"
#include "report/engine/function_splitter.h"

#include <string>
#include <utility>
#include <vector>

class TfrRunBand;
class TfrRunPage;

enum TfrAggregateCode : char {
    agSum = 11,
    agMin = 12,
    agMax = 13,
    agAvg = 14,
    agCount = 15,
};

// Finds the aggregate calls of memo text and compiled scripts, looking into
// the current report's dictionary variables.
class TAggregateFunctionsSplitter : public TfrFunctionSplitter {
public:
    explicit TAggregateFunctionsSplitter(rtl::TStringList& foundCalls);
    // Every bracketed expression of every line.
    void CollectMemoCalls(const rtl::TStringList& memo);
    // The expression part of every compiled code line.
    void CollectScriptCalls(const rtl::TStringList& code);
};

// An aggregate call from the standard library (p1..p3 unevaluated). While
// frGlobals().CollectingAggregates it registers the call for the current
// band; otherwise it reads the current band's total, leaving `value` as it
// is when the band has no AggregateSource.
void CallAggregate(TfrAggregateCode code, const rtl::TVariant& p1, const rtl::TVariant& p2,
                   const rtl::TVariant& p3, rtl::TVariant& value);

// Registers the aggregates of the page's footer-like bands in its master,
// detail, sub-detail and cross-tab data bands. The current band and the
// registration flag are restored afterwards, also when an error ends it.
void RegisterBandAggregates(TfrRunPage& page);
// Adds the current record to the data band's accumulators.
void AccumulateRow(TfrRunBand& dataBand);
// Sets the accumulators the band reads back to their start values and the
// source data band's row count to 0.
void ResetAggregates(TfrRunBand& band);

// What registration would make of an aggregate call, for the designer's
// syntax check. `bandType` is the type of the band the call is written on,
// `dataBands` the names and types of the page's data bands.
enum class TfrAggregateCheck {
    Registered,
    NotAnAggregate, // the call is no SUM, AVG, MIN, MAX or COUNT call
    NoDataBand,     // no band named, and the band type totals no data band of the page
    UnknownBand,    // the band named is no data band this band type totals
};
TfrAggregateCheck CheckAggregateCall(const std::string& callText, int bandType,
                                     const std::vector<std::pair<std::string, int>>& dataBands);
