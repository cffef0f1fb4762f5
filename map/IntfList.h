#pragma once
// An ordered list of reference-counted objects; clearing releases every item.

#include <memory>
#include <vector>

class IInterface {
public:
    virtual ~IInterface() = default;
};

class IIntfList {
public:
    void Add(std::shared_ptr<IInterface> item);
    std::shared_ptr<IInterface> Items(int index) const;  // nullptr when out of range
    int Count() const;
    void Clear();

private:
    std::vector<std::shared_ptr<IInterface>> m_items;
};
