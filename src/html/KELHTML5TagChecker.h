#pragma once
// The HTML5 vocabulary: "HTML5Tags.txt" extended by "HTML5TagsAdditions.txt" for today's HTML.

#include "html/TagChecker.h"

class KELHTML5TagChecker : public TagChecker {
public:
    /// Built on first use and kept until the process ends.
    static KELHTML5TagChecker& sharedInstance();
    static QStringList tableFileNames();

private:
    KELHTML5TagChecker();
};
