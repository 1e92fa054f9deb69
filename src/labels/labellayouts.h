// The application's two label layouts, the weight label and the piece label, with their
// files in the program's folder.
#pragma once

#include "app/varnetapp.h"
#include "labels/labelinfo.h"

class CLabelLayouts : public ILabelLayouts {
public:
    CLabelLayouts();

    // Weight layout, then piece layout, from "/Varnet.cfg" and "/QLabel.cfg" in dir; a file
    // that is missing or damaged gives the defaults of its kind, silently.
    void LoadLabelLayouts(const QString& dir) override;
    // One kind from its file in the program's folder.
    void LoadLayout(bool bWeight);
    // One kind to its file in the program's folder; a failure is reported and returns false.
    bool SaveLayout(bool bWeight) const;

    CBarCodeLabelInfo& Layout(bool bWeight) { return bWeight ? m_layoutWeight : m_layoutPiece; }
    const CBarCodeLabelInfo& Layout(bool bWeight) const {
        return bWeight ? m_layoutWeight : m_layoutPiece;
    }

    CBarCodeLabelInfo m_layoutWeight;
    CBarCodeLabelInfo m_layoutPiece;
};

// The layouts of the living application object, installed into it on first use. Needs an
// application object.
CLabelLayouts& AppLayouts();
