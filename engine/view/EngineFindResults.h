#pragma once
#include "MapEngine.h"

#include <memory>
#include <vector>

class EngineLocation;

// The answer of one address lookup, best result first.
class EngineFindResults : public MapPoint::FindResults {
public:
    EngineFindResults(int quality, std::vector<std::shared_ptr<EngineLocation>> results);
    int MatchQuality() const override { return m_quality; }
    int ResultCount() const override { return int(m_results.size()); }
    std::shared_ptr<MapPoint::Dispatch> ResultItem(const QVariant &number) const override;

private:
    int m_quality;
    std::vector<std::shared_ptr<EngineLocation>> m_results;
};
