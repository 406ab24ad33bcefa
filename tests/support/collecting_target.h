#pragma once
// A page target that keeps a copy of every page that was ended, for tests that decode pages.
#include "print/page.h"

#include <QImage>

#include <vector>

namespace qm::test {

class CollectingTarget : public ImagePageTarget {
public:
    using ImagePageTarget::ImagePageTarget;
    CollectingTarget() : ImagePageTarget(300, 300) {}
    void EndDoc() override {
        ImagePageTarget::EndDoc();
        pages.push_back(Image().copy());
    }
    std::vector<QImage> pages;
};

} // namespace qm::test
