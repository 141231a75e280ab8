// CAnalysisProduct: the base of the products that a sound analysis keeps for the folders built on it.
#pragma once

namespace melvox {

// A CSoundAnalysis holds a product made in src/spectral (its note list) through this base, so that
// src/analysis needs no type of that folder; the product's own file makes it and reads it back.
class CAnalysisProduct {
 public:
  CAnalysisProduct() = default;
  CAnalysisProduct(const CAnalysisProduct&) = delete;
  CAnalysisProduct& operator=(const CAnalysisProduct&) = delete;
  virtual ~CAnalysisProduct() = default;
};

}  // namespace melvox
