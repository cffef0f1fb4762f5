#include "EngineFindResults.h"

#include "EngineErrorCode.h"
#include "EngineLocation.h"

EngineFindResults::EngineFindResults(int quality, std::vector<std::shared_ptr<EngineLocation>> results)
    : m_quality(quality), m_results(std::move(results))
{
}

std::shared_ptr<MapPoint::Dispatch> EngineFindResults::ResultItem(const QVariant &number) const
{
    bool ok = false;
    const int n = number.toInt(&ok);
    if (!ok || n < 1 || n > ResultCount())
        throw MapPoint::EngineError(EngineErrorCode::InvalidArgument,
                                    QStringLiteral("Result number %1 does not exist; the lookup found %2 result(s)")
                                        .arg(number.toString())
                                        .arg(ResultCount()));
    return m_results[size_t(n - 1)];
}
