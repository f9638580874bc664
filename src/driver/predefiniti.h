#pragma once

// The built-in scenario: route and train.
inline constexpr const char* kNomeLineaPredefinito = "FerziaPS-Calvorano";
inline constexpr const char* kNumeroTrenoPredefinito = "24617";
