// A small model catalogue of its own, filled through the real registration.
#pragma once

#include <initializer_list>
#include <vector>

#include "core/model_catalogue.h"

class TestCatalogue {
 public:
  explicit TestCatalogue(size_t slots = 32);
  TestCatalogue(const TestCatalogue&) = delete;
  TestCatalogue& operator=(const TestCatalogue&) = delete;

  // Registers a model under up to three product ids; returns its slot's entry.
  const ModelEntry& add(const WCHAR16* name, std::initializer_list<uint16_t> productIds,
                        ModelFactory factory, uint64_t flags = 0);
  const ModelCatalogue& get() const { return catalogue_; }

 private:
  std::vector<ModelEntry> entries_;
  std::vector<ModelInfo> infos_;
  std::vector<ModelInfoV1> infosV1_;
  ModelCatalogue catalogue_;
  size_t used_ = 0;
};
