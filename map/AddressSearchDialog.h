#pragma once
// The address search dialog as the map module drives it. The dialog lives in dialogs/, which
// depends on the map module, so the module only knows this interface and a factory the app sets.

#include "AddressSearchResult.h"

#include <QString>

#include <functional>
#include <memory>

class IAddressSearchDialog {
public:
    virtual ~IAddressSearchDialog() = default;
    // Runs the first search at once.
    virtual void Prepare(const QString &country, const QString &postcode, const QString &city,
                         const QString &street, const QString &pinName) = 0;
    virtual int ShowModal() = 0;  // 1 = Ok, 2 = Cancel
    virtual void GetResult(RAddressSearchResult &r) const = 0;
};

using AddressSearchDialogFactory = std::function<std::unique_ptr<IAddressSearchDialog>()>;
