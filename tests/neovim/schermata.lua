-- Opens the line source in the TUI, breaks the first curve's line and, once
-- the server's diagnostic is on screen, writes the marker file SEGNALE.
-- Env: SCENARIO, FILE_LINEA, SEGNALE.

local scenario = os.getenv('SCENARIO')
local file_linea = os.getenv('FILE_LINEA')
local segnale = os.getenv('SEGNALE')

local function segna(testo)
  local f = io.open(segnale .. '.tmp', 'w')
  f:write(testo .. '\n')
  f:close()
  -- Renamed so the waiting script never reads it half written.
  os.rename(segnale .. '.tmp', segnale)
end

vim.o.number = true
vim.o.signcolumn = 'yes'
vim.o.laststatus = 2
vim.o.hidden = true
vim.diagnostic.config({ virtual_text = { prefix = '●' }, signs = true, underline = true })

-- The default float colours are loud on a 256-colour terminal.
vim.cmd('highlight NormalFloat ctermbg=236 ctermfg=252')
vim.cmd('highlight FloatBorder ctermbg=236 ctermfg=244')

-- A short name in the status line rather than the temporary folder.
vim.cmd('cd ' .. vim.fn.fnameescape(vim.fn.fnamemodify(file_linea, ':h')))
vim.cmd('edit ++enc=cp1252 ' .. vim.fn.fnameescape(vim.fn.fnamemodify(file_linea, ':t')))
local bl = vim.api.nvim_get_current_buf()

local fatto = false
local function errore25()
  for _, d in ipairs(vim.diagnostic.get(bl)) do
    if tostring(d.code) == '25' and d.lnum == 10 then
      return true
    end
  end
  return false
end

local default = vim.lsp.handlers['textDocument/publishDiagnostics']
local id = vim.lsp.start_client({
  name = 'scenario',
  cmd = { scenario, 'lsp' },
  root_dir = vim.fn.fnamemodify(file_linea, ':h'),
  handlers = {
    ['textDocument/publishDiagnostics'] = function(err, result, ctx, config)
      default(err, result, ctx, config)
      if not fatto and errore25() then
        fatto = true
        vim.schedule(function()
          -- The whole message, which the virtual text cuts at the edge.
          vim.diagnostic.open_float({ bufnr = bl, scope = 'line', max_width = 72, border = 'rounded' })
          vim.cmd('redraw!')
          segna('pronto')
        end)
      end
    end,
  },
})
vim.lsp.buf_attach_client(bl, id)

-- Once the first (clean) publication is in, break the line as a user would.
vim.wait(20000, function()
  local c = vim.lsp.get_client_by_id(id)
  return c ~= nil and c.initialized
end, 20)
vim.api.nvim_buf_set_text(bl, 10, 10, 10, 10, { 'x' })
vim.api.nvim_win_set_cursor(0, { 11, 10 })

vim.defer_fn(function()
  if not fatto then
    segna('fallito')
  end
end, 20000)
