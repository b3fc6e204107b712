#include "ui/error_text.h"

#include <new>

#include "network/errors.h"

namespace levelnet::ui {

namespace {

// Where the window takes what a refusal says is missing.
QString remedyHint(Remedy remedy) {
  switch (remedy) {
    case Remedy::utf8Encoding:
      return QStringLiteral("（请选择 UTF-8 编码）");
    case Remedy::otherFormat:
      return QStringLiteral("（请选择 CSV 格式）");
    case Remedy::knownPoints:
      return QStringLiteral("（已知点写成 点名=高程）");
    case Remedy::sectionEnds:
      return QString();
    case Remedy::sigmaPerKm:
      return QStringLiteral("（在“检核”页填写每公里中误差 σ）");
    case Remedy::none:
      break;
  }
  return QString();
}

}  // namespace

QString failureText(const std::exception_ptr& error, const QString& task) {
  try {
    std::rethrow_exception(error);
  } catch (const InputError& e) {
    return QString::fromStdString(e.what()) + remedyHint(e.remedy());
  } catch (const OutOfMemoryError& e) {
    return QString::fromStdString(e.what());
  } catch (const Error& e) {
    return QString::fromStdString(e.what());
  } catch (const std::bad_alloc&) {
    return QStringLiteral("内存不足：%1未能完成。").arg(task);
  } catch (const std::exception& e) {
    return QStringLiteral("%1未能完成：").arg(task) + QString::fromStdString(e.what());
  }
  return QStringLiteral("%1未能完成。").arg(task);
}

QString duplicateNamesText(const std::vector<DuplicateName>& duplicates) {
  constexpr std::size_t kListed = 20;
  QString text = QStringLiteral("点名重复：");
  for (std::size_t i = 0; i < duplicates.size() && i < kListed; ++i)
    text += QStringLiteral("\n") + QString::fromStdString(duplicateNameWarning(duplicates[i]));
  if (duplicates.size() > kListed) text += QStringLiteral("\n……另有 %1 处未列出").arg(duplicates.size() - kListed);
  return text;
}

}  // namespace levelnet::ui
