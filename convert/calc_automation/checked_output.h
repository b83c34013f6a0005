// The stream the office stores a document into: a new file that the helper writes itself,
// checking every write. The office's export filters do not all report failed writes (a full
// disk gave a cut-off CSV file and a success), so the helper never relies on them.
#pragma once

#include <com/sun/star/io/XOutputStream.hpp>
#include <cppuhelper/implbase1.hxx>
#include <string>

namespace tabulor::calc {

class CheckedOutput : public cppu::WeakImplHelper1<com::sun::star::io::XOutputStream> {
 public:
  // Creates `path`, which must not exist. Throws HelperError naming `shownPath` (the file
  // the user will see) when it cannot be created.
  CheckedOutput(std::string path, std::string shownPath);
  ~CheckedOutput() override;

  // XOutputStream. A failed write is kept and thrown to the office as an IOException; the
  // office may ignore it, finish() does not.
  void SAL_CALL writeBytes(const com::sun::star::uno::Sequence<sal_Int8>& data) override;
  void SAL_CALL flush() override {}
  void SAL_CALL closeOutput() override {}

  // Throws the HelperError finish() would throw when a write has failed already; call it
  // when the office's store failed, whose own error may not say why.
  void throwIfWriteFailed();

  // Flushes the file to the disk and closes it. Throws HelperError naming the shown path
  // when any write, the flush or the close failed (the file is removed then); returns the
  // number of bytes written.
  long long finish();

 private:
  std::string path_, shownPath_;
  int fd_ = -1;
  int error_ = 0;  // errno of the first failed write
  long long written_ = 0;
  bool finished_ = false;
};

// Why a write failed, as the user reads it ("the disk is full").
std::string writeFailureReason(int error);
// The office's kind of code for a failed write with errno `error`.
unsigned writeFailureCode(int error);

}  // namespace tabulor::calc
