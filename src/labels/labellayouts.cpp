#include "labels/labellayouts.h"

#include "labels/layoutfile.h"

#include <memory>

CLabelLayouts::CLabelLayouts() = default;

void CLabelLayouts::LoadLabelLayouts(const QString& dir) {
    labels::LoadLayout(dir + labels::LayoutFileName(true), true, m_layoutWeight);
    labels::LoadLayout(dir + labels::LayoutFileName(false), false, m_layoutPiece);
}

void CLabelLayouts::LoadLayout(bool bWeight) {
    labels::LoadLayout(CVarnetApp::GetModuleDirectory() + labels::LayoutFileName(bWeight), bWeight,
                       Layout(bWeight));
}

bool CLabelLayouts::SaveLayout(bool bWeight) const {
    return labels::SaveLayout(CVarnetApp::GetModuleDirectory() + labels::LayoutFileName(bWeight),
                              Layout(bWeight));
}

CLabelLayouts& AppLayouts() {
    CVarnetApp* app = CVarnetApp::Instance();
    Q_ASSERT(app);
    if (auto* layouts = dynamic_cast<CLabelLayouts*>(app->LabelLayouts()))
        return *layouts;
    auto layouts = std::make_unique<CLabelLayouts>();
    CLabelLayouts& ref = *layouts;
    app->SetLabelLayouts(std::move(layouts));
    return ref;
}
