#include "app/varnetapp.h"

#include "platform/paths.h"

namespace {
CVarnetApp* g_pApp = nullptr;
}

CVarnetApp::CVarnetApp() {
    g_pApp = this;
}

CVarnetApp::~CVarnetApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

CVarnetApp* CVarnetApp::Instance() {
    return g_pApp;
}

QString CVarnetApp::GetModuleDirectory() {
    return platform::ModuleDirectory();
}

void CVarnetApp::SetLabelLayouts(std::unique_ptr<ILabelLayouts> layouts) {
    m_pLayouts = std::move(layouts);
}

void CVarnetApp::LoadLabelLayouts() {
    if (m_pLayouts)
        m_pLayouts->LoadLabelLayouts(GetModuleDirectory());
}
