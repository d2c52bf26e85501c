#include "app/pages/pages.h"

namespace ferro::page {

PageBinding* BuildExtensionPage(const ops::Operation& op, QWidget* page);
PageBinding* BuildRenamePage(const ops::Operation& op, QWidget* page);
PageBinding* BuildDatePage(const ops::Operation& op, QWidget* page);
PageBinding* BuildAttributePage(const ops::Operation& op, QWidget* page);
PageBinding* BuildStatisticsPage(const ops::Operation& op, QWidget* page);
PageBinding* BuildKeyMergePage(const ops::Operation& op, QWidget* page);
PageBinding* BuildLineCutPage(const ops::Operation& op, QWidget* page);
PageBinding* BuildLineInsertPage(const ops::Operation& op, QWidget* page);
PageBinding* BuildPatternPage(const ops::Operation& op, QWidget* page);
PageBinding* BuildLineDeletePage(const ops::Operation& op, QWidget* page);
PageBinding* BuildLineExtractPage(const ops::Operation& op, QWidget* page);
PageBinding* BuildLineSyncPage(const ops::Operation& op, QWidget* page);
PageBinding* BuildNewLinesPage(const ops::Operation& op, QWidget* page);
PageBinding* BuildCombinePage(const ops::Operation& op, QWidget* page);
PageBinding* BuildConvertPage(const ops::Operation& op, QWidget* page);

PageBuilder BuilderOf(std::string_view operation) {
    static const std::pair<std::string_view, PageBuilder> kBuilders[] = {
        {"extension", &BuildExtensionPage},     {"rename", &BuildRenamePage},
        {"dates", &BuildDatePage},              {"attributes", &BuildAttributePage},
        {"statistics", &BuildStatisticsPage},   {"key-merge", &BuildKeyMergePage},
        {"cut", &BuildLineCutPage},             {"insert", &BuildLineInsertPage},
        {"pattern", &BuildPatternPage},         {"delete-lines", &BuildLineDeletePage},
        {"extract-lines", &BuildLineExtractPage}, {"line-sync", &BuildLineSyncPage},
        {"new-lines", &BuildNewLinesPage},      {"combine", &BuildCombinePage},
        {"convert", &BuildConvertPage},
    };
    for (const auto& [name, build] : kBuilders)
        if (name == operation) return build;
    return nullptr;
}

}  // namespace ferro::page
